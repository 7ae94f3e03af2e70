#include "ptp/device/discovery.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "text/wide_text.h"

namespace camvey::ptp {
namespace {

// Names and manufacturers are short; a longer length is a driver fault, not a name.
constexpr std::uint32_t kMaxDeviceTextLength = 32768;

// The friendly name or the manufacturer of a device; none on any failure.
std::optional<std::u16string> ReadDeviceText(DeviceManager& manager,
                                             const std::u16string& device_id, DeviceText which) {
  const auto read = [&](char16_t* buffer, std::uint32_t* length) {
    return which == DeviceText::kFriendlyName
               ? manager.GetDeviceFriendlyName(device_id, buffer, length)
               : manager.GetDeviceManufacturer(device_id, buffer, length);
  };
  std::uint32_t length = 0;
  if (DeviceFailed(read(nullptr, &length)) || length > kMaxDeviceTextLength) return std::nullopt;
  if (length == 0) return std::u16string();
  // Drivers differ on whether the length counts the terminating NUL; one unit more
  // reads the whole text under either reading.
  std::uint32_t size = length + 1;
  std::u16string buffer(size, u'\0');
  if (DeviceFailed(read(buffer.data(), &size))) return std::nullopt;
  buffer.resize(std::min(buffer.find(u'\0'), buffer.size()));
  return buffer;
}

}  // namespace

AppleDevices FindAppleDevices(DeviceManager& manager) {
  AppleDevices found;
  manager.RefreshDeviceList();
  std::uint32_t count = 0;
  if (DeviceFailed(manager.GetDevices(nullptr, &count))) {
    found.may_lack_one = true;
    return found;
  }
  if (count == 0) return found;
  // A larger count is a driver fault, not devices: room for it could exhaust memory.
  count = std::min(count, kMaxDeviceCount);
  std::vector<std::optional<std::u16string>> ids(count);
  const DeviceResult listed = manager.GetDevices(&ids, &count);
  if (DeviceFailed(listed)) {
    found.may_lack_one = true;
    return found;
  }
  // "No more room": a device attached since the count is not among the ids.
  found.may_lack_one = listed == kDeviceFalse || count > ids.size();
  // A device cannot return more ids than it had room for.
  const std::size_t returned = std::min<std::size_t>(count, ids.size());
  for (std::size_t i = 0; i < returned; ++i) {
    if (!ids[i].has_value()) {
      found.may_lack_one = true;
      continue;
    }
    const std::u16string& id = *ids[i];
    const std::optional<std::u16string> name =
        ReadDeviceText(manager, id, DeviceText::kFriendlyName);
    const std::optional<std::u16string> maker =
        ReadDeviceText(manager, id, DeviceText::kManufacturer);
    if (IsAppleDevice(name.value_or(u""), maker.value_or(u""))) {
      found.ids.push_back(id);
    } else if (!name.has_value() || !maker.has_value()) {
      found.may_lack_one = true;
    }
  }
  return found;
}

std::vector<std::u16string> ListAppleDevices(DeviceManager& manager) {
  return FindAppleDevices(manager).ids;
}

std::u16string ReadDeviceString(DeviceManager& manager, const std::u16string& device_id,
                                DeviceText which) {
  return ReadDeviceText(manager, device_id, which).value_or(u"");
}

bool IsAppleDevice(const std::u16string& friendly_name, const std::u16string& manufacturer) {
  const std::u16string text = text::UpperCaseWide(friendly_name + u" " + manufacturer);
  for (const char16_t* mark : {u"APPLE", u"IPHONE", u"IPAD"}) {
    if (text.find(mark) != std::u16string::npos) return true;
  }
  return false;
}

std::unique_ptr<PortableDevice> OpenPhone(DeviceLayer& layer, const std::u16string& device_id,
                                          DeviceAccess access, DeviceResult* failure) {
  DeviceResult result = kDeviceOk;
  const auto ended = [&result, failure] {
    if (failure != nullptr) *failure = result;
    return nullptr;
  };
  std::unique_ptr<ClientInformation> client_information;
  result = layer.CreateClientInformation(&client_information);
  if (DeviceFailed(result) || client_information == nullptr) return ended();
  // The driver is told who asks and for what; the setters' results change nothing.
  client_information->SetStringValue(ClientKey::kName, u"Camvey");
  client_information->SetUnsignedIntegerValue(ClientKey::kMajorVersion, 1);
  client_information->SetUnsignedIntegerValue(ClientKey::kMinorVersion, 0);
  client_information->SetUnsignedIntegerValue(ClientKey::kRevision, 0);
  client_information->SetUnsignedIntegerValue(
      ClientKey::kDesiredAccess,
      access == DeviceAccess::kReadAndWrite ? kGenericReadWrite : kGenericRead);

  std::unique_ptr<PortableDevice> device;
  result = layer.CreateDevice(&device);
  if (DeviceFailed(result) || device == nullptr) return ended();
  result = device->Open(device_id, *client_information);
  if (DeviceFailed(result)) return ended();
  return device;
}

PhoneConnection::PhoneConnection(std::unique_ptr<PortableDevice> device)
    : device_(std::move(device)) {
  std::unique_ptr<DeviceContent> content;
  if (DeviceFailed(watch_.Ask([&] { return device_->Content(&content); })) || content == nullptr) {
    return;
  }
  content_ = WatchContent(std::move(content), watch_);
  if (DeviceFailed(content_->Properties(&properties_))) properties_.reset();
}

PhoneConnection::~PhoneConnection() {
  properties_.reset();
  content_.reset();
  device_->Close();
  device_.reset();
}

}  // namespace camvey::ptp
