#include "standins/phone/phone_scan.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "ptp/device/discovery.h"
#include "ptp/device/folder_listing.h"
#include "ptp/wide_text.h"

namespace camvey::phone {
namespace {

constexpr std::uint32_t kGenericRead = 0x80000000;
// Deeper than any phone's folders; a driver that nests without end is cut here.
constexpr int kMaxDepth = 32;

std::string Hex(ptp::DeviceResult result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX",
                static_cast<unsigned long>(static_cast<std::uint32_t>(result)));
  return text;
}

ContentType ContentTypeOf(const ptp::Guid& guid) {
  if (guid == ptp::kContentTypeFolder) return ContentType::kFolder;
  if (guid == ptp::kContentTypeFunctionalObject) return ContentType::kFunctionalObject;
  if (guid == ptp::kContentTypeImage) return ContentType::kImage;
  if (guid == ptp::kContentTypeVideo) return ContentType::kVideo;
  // Other kinds (.AAE sidecars, audio, documents, ...) are no folders to the deletion
  // pass, which is all a replay needs of them. They are not kNone: that is an object
  // whose kind could not be read, which the pass treats as one that may be a folder.
  return ContentType::kOther;
}

std::optional<std::u16string> ReadString(ptp::PropertyValues& values, ptp::ObjectKey key) {
  std::optional<std::u16string> text;
  if (ptp::DeviceFailed(values.GetStringValue(key, &text))) return std::nullopt;
  return text;
}

SimObject ReadObject(ptp::DeviceProperties& properties, ptp::KeyCollection& keys,
                     const std::u16string& id, const std::u16string& parent_id) {
  SimObject object;
  object.id = id;
  object.parent_id = parent_id;
  object.type = ContentType::kNone;
  std::unique_ptr<ptp::PropertyValues> values;
  if (ptp::DeviceFailed(properties.GetValues(id, keys, &values)) || values == nullptr) {
    return object;
  }
  object.name = ReadString(*values, ptp::ObjectKey::kName);
  object.file_name = ReadString(*values, ptp::ObjectKey::kOriginalFileName);
  ptp::Guid content_type;
  if (!ptp::DeviceFailed(values->GetGuidValue(ptp::ObjectKey::kContentType, &content_type))) {
    object.type = ContentTypeOf(content_type);
  }
  return object;
}

class DeviceWalk {
 public:
  DeviceWalk(ptp::DeviceContent& content, ptp::DeviceProperties& properties,
             ptp::KeyCollection& keys, SimDevice* device, const ScanProblem& problem)
      : content_(content),
        properties_(properties),
        keys_(keys),
        device_(device),
        problem_(problem) {}

  void Walk(const std::u16string& parent_id, int depth) {
    std::unique_ptr<ptp::ObjectIdEnumerator> enumerator;
    const ptp::DeviceResult listed = content_.EnumObjects(parent_id, &enumerator);
    if (ptp::DeviceFailed(listed) || enumerator == nullptr) {
      Problem(parent_id, "cannot be listed (" + Hex(listed) + ")");
      return;
    }
    std::vector<std::u16string> folders;
    std::optional<std::u16string> id;
    ptp::DeviceResult next = ptp::kDeviceOk;
    // "No more objects" may come with the last child, which is kept like the others.
    while (next == ptp::kDeviceOk) {
      next = enumerator->Next(&id);
      if ((next != ptp::kDeviceOk && next != ptp::kDeviceFalse) || !id.has_value()) break;
      SimObject object = ReadObject(properties_, keys_, *id, parent_id);
      const bool is_folder = object.is_folder();
      if (id->empty() || *id == kRootId || !device_->Add(std::move(object))) {
        // The model needs unique ids; a repeated one would also walk in circles.
        Problem(*id, "is listed again or has an unusable id; left out");
      } else if (is_folder) {
        folders.push_back(*id);
      }
      id.reset();
    }
    // Anything but "no more objects" may hide children: a failure, or an answer that
    // breaks the enumeration's contract.
    if (next != ptp::kDeviceFalse) Problem(parent_id, "listing ended early (" + Hex(next) + ")");
    enumerator.reset();
    for (const std::u16string& folder : folders) {
      if (depth + 1 >= kMaxDepth) {
        Problem(folder, "lies too deep; its children are left out");
        continue;
      }
      Walk(folder, depth + 1);
    }
  }

 private:
  void Problem(const std::u16string& object_id, const std::string& what) {
    problem_(ptp::WideToUtf8(device_->id) + ": " + ptp::WideToUtf8(object_id) + " " + what);
  }

  ptp::DeviceContent& content_;
  ptp::DeviceProperties& properties_;
  ptp::KeyCollection& keys_;
  SimDevice* device_;
  const ScanProblem& problem_;
};

// The device opened for reading only: a scan must not be able to change the phone.
std::unique_ptr<ptp::PortableDevice> OpenForReading(ptp::DeviceLayer& layer,
                                                    const std::u16string& device_id,
                                                    ptp::DeviceResult* result) {
  std::unique_ptr<ptp::ClientInformation> client_information;
  *result = layer.CreateClientInformation(&client_information);
  if (ptp::DeviceFailed(*result) || client_information == nullptr) return nullptr;
  client_information->SetStringValue(ptp::ClientKey::kName, u"Camvey");
  client_information->SetUnsignedIntegerValue(ptp::ClientKey::kMajorVersion, 1);
  client_information->SetUnsignedIntegerValue(ptp::ClientKey::kMinorVersion, 0);
  client_information->SetUnsignedIntegerValue(ptp::ClientKey::kRevision, 0);
  client_information->SetUnsignedIntegerValue(ptp::ClientKey::kDesiredAccess, kGenericRead);
  std::unique_ptr<ptp::PortableDevice> device;
  *result = layer.CreateDevice(&device);
  if (ptp::DeviceFailed(*result) || device == nullptr) return nullptr;
  *result = device->Open(device_id, *client_information);
  if (ptp::DeviceFailed(*result)) return nullptr;
  return device;
}

void ScanDevice(ptp::DeviceLayer& layer, ptp::KeyCollection& keys, SimDevice* device,
                const ScanProblem& problem) {
  const std::string where = ptp::WideToUtf8(device->id) + ": ";
  ptp::DeviceResult result = ptp::kDeviceOk;
  std::unique_ptr<ptp::PortableDevice> opened = OpenForReading(layer, device->id, &result);
  if (opened == nullptr) {
    problem(where + "cannot be opened (" + Hex(result) + ")");
    return;
  }
  ptp::PhoneConnection connection(std::move(opened));
  if (!connection.usable()) {
    problem(where + "gives no content or properties");
    return;
  }
  DeviceWalk(connection.content(), connection.properties(), keys, device, problem).Walk(kRootId, 0);
}

}  // namespace

bool ScanApplePhones(ptp::DeviceLayer& layer, Phone* phone, const ScanProblem& problem) {
  std::unique_ptr<ptp::DeviceManager> manager;
  const ptp::DeviceResult created = layer.CreateManager(&manager);
  if (ptp::DeviceFailed(created) || manager == nullptr) {
    problem("no device manager (" + Hex(created) + ")");
    return false;
  }
  for (const std::u16string& id : ptp::ListAppleDevices(*manager)) {
    SimDevice device;
    device.id = id;
    device.friendly_name = ptp::ReadDeviceString(*manager, id, ptp::DeviceText::kFriendlyName);
    device.manufacturer = ptp::ReadDeviceString(*manager, id, ptp::DeviceText::kManufacturer);
    phone->devices.push_back(std::move(device));
  }
  manager.reset();
  if (phone->devices.empty()) {
    problem("no Apple device is attached");
    return true;
  }
  const std::unique_ptr<ptp::KeyCollection> keys = ptp::CreateKeySet(layer);
  if (keys == nullptr) {
    problem("no key collection");
    return false;
  }
  for (SimDevice& device : phone->devices) ScanDevice(layer, *keys, &device, problem);
  return true;
}

}  // namespace camvey::phone
