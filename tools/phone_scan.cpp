#include "tools/phone_scan.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ptp/device/camera_roll.h"
#include "ptp/device/discovery.h"
#include "ptp/device/folder_listing.h"
#include "ptp/device/month_folder.h"
#include "text/wide_text.h"

namespace camvey::tools {
namespace {

// Deeper than any phone's folders; a driver that nests without end is cut here.
constexpr int kMaxDepth = 32;
// The highest storage access capability WPD defines: read-only with object deletion.
constexpr std::uint32_t kMaxAccess = 2;

std::string Hex(ptp::DeviceResult result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX",
                static_cast<unsigned long>(static_cast<std::uint32_t>(result)));
  return text;
}

phone::ContentType ContentTypeOf(const ptp::Guid& guid) {
  if (guid == ptp::kContentTypeFolder) return phone::ContentType::kFolder;
  if (guid == ptp::kContentTypeFunctionalObject) return phone::ContentType::kFunctionalObject;
  if (guid == ptp::kContentTypeImage) return phone::ContentType::kImage;
  if (guid == ptp::kContentTypeVideo) return phone::ContentType::kVideo;
  // Other kinds (.AAE sidecars, audio, documents, ...) are no folders to the deletion
  // pass, which is all a replay needs of them. They are not kNone: that is an object
  // whose kind could not be read, which the pass treats as one that may be a folder.
  return phone::ContentType::kOther;
}

std::optional<std::u16string> ReadString(ptp::PropertyValues& values, ptp::ObjectKey key) {
  std::optional<std::u16string> text;
  if (ptp::DeviceFailed(values.GetStringValue(key, &text))) return std::nullopt;
  return text;
}

phone::SimObject ReadObject(ptp::DeviceProperties& properties, ptp::KeyCollection& keys,
                            const std::u16string& id, const std::u16string& parent_id) {
  phone::SimObject object;
  object.id = id;
  object.parent_id = parent_id;
  object.type = phone::ContentType::kNone;
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
  std::uint64_t size = 0;
  if (!ptp::DeviceFailed(values->GetUnsignedLargeIntegerValue(ptp::ObjectKey::kSize, &size))) {
    object.size = size;
  }
  bool can_delete = false;
  if (!ptp::DeviceFailed(values->GetBoolValue(ptp::ObjectKey::kCanDelete, &can_delete))) {
    object.can_delete = can_delete;
  }
  std::uint32_t access = 0;
  if (!ptp::DeviceFailed(
          values->GetUnsignedIntegerValue(ptp::ObjectKey::kStorageAccessCapability, &access))) {
    object.access = access;
  }
  return object;
}

class DeviceWalk {
 public:
  DeviceWalk(ptp::DeviceContent& content, ptp::DeviceProperties& properties,
             ptp::KeyCollection& keys, phone::SimDevice* device, const ScanProblem& problem)
      : content_(content),
        properties_(properties),
        keys_(keys),
        device_(device),
        problem_(problem) {}

  void Walk(const std::u16string& parent_id, int depth) {
    const ptp::IdListing listing = ptp::ListChildIds(content_, parent_id, 0);
    if (!listing.enumerated) {
      Problem(parent_id, "cannot be listed (" + Hex(listing.end) + ")");
      return;
    }
    std::vector<std::u16string> folders;
    for (const std::u16string& id : listing.ids) {
      phone::SimObject object = ReadObject(properties_, keys_, id, parent_id);
      if (object.access.has_value() && *object.access > kMaxAccess) {
        // The phone format takes only the capabilities WPD defines.
        Problem(id, "gives the access capability " + std::to_string(*object.access) +
                        ", which is none of 0, 1 and 2; left out");
        object.access.reset();
      }
      const bool is_folder = object.is_folder();
      if (id.empty() || id == phone::kRootId || !device_->Add(std::move(object))) {
        // The model needs unique ids; a repeated one would also walk in circles.
        Problem(id, "is listed again or has an unusable id; left out");
      } else if (is_folder) {
        folders.push_back(id);
      }
    }
    // A listing that ended early may hide children.
    if (!listing.complete) Problem(parent_id, "listing ended early (" + Hex(listing.end) + ")");
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
    problem_(text::WideToUtf8(device_->id) + ": " + text::WideToUtf8(object_id) + " " + what);
  }

  ptp::DeviceContent& content_;
  ptp::DeviceProperties& properties_;
  ptp::KeyCollection& keys_;
  phone::SimDevice* device_;
  const ScanProblem& problem_;
};

void ScanDevice(ptp::DeviceLayer& layer, ptp::KeyCollection& keys, phone::SimDevice* device,
                const ScanProblem& problem) {
  const std::string where = text::WideToUtf8(device->id) + ": ";
  ptp::DeviceResult result = ptp::kDeviceOk;
  // Opened for reading only: a scan must not be able to change the phone.
  std::unique_ptr<ptp::PortableDevice> opened =
      ptp::OpenPhone(layer, device->id, ptp::DeviceAccess::kReadOnly, &result);
  if (opened == nullptr) {
    problem(where + "cannot be opened (" + Hex(result) + ")");
    return;
  }
  ptp::PhoneConnection connection(std::move(opened));
  if (!connection.usable()) {
    problem(where + "gives no content or properties");
    return;
  }
  DeviceWalk(connection.content(), connection.properties(), keys, device, problem)
      .Walk(phone::kRootId, 0);
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A folder the service takes for a month's ("202401__", "202401_a": its name begins with
// a real month), or one named as cameras name theirs ("100APPLE": a folder number 100 to
// 999 and five more letters, digits or '_'). A name that begins with six digits is a
// month's or none.
bool IsCameraRollName(const std::u16string& name) {
  if (name.size() >= 6 && std::all_of(name.begin(), name.begin() + 6, IsDigit)) {
    return ptp::IsRealMonth(name.substr(0, 6));
  }
  const auto letter_or_digit = [](char16_t c) {
    return IsDigit(c) || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
  };
  return name.size() == 8 && std::all_of(name.begin(), name.begin() + 3, IsDigit) &&
         name[0] != u'0' && std::all_of(name.begin() + 3, name.end(), letter_or_digit);
}

// The object as the service lists it: named by its file name, else its object name.
ptp::PhoneObject AsPhoneObject(const phone::SimObject& object) {
  ptp::PhoneObject listed;
  listed.id = object.id;
  listed.name = object.ReadName();
  listed.is_folder = object.is_folder();
  return listed;
}

std::u16string Label(const phone::SimObject& object) {
  const std::u16string name = object.ReadName();
  return name.empty() ? object.id : name;
}

// Appends "<path> (N folders)" for `folder` and every folder below it that holds
// camera-roll folders, in walk order. `reachable`: the deletion pass looks in the
// folders `folder` holds.
void FindCameraRolls(const phone::SimDevice& device, const phone::SimObject& folder,
                     const std::u16string& path, bool reachable,
                     std::vector<std::u16string>* found) {
  int held = 0;
  for (const std::u16string& id : folder.children) {
    const phone::SimObject* child = device.Find(id);
    if (child != nullptr && child->is_folder() && IsCameraRollName(child->ReadName())) ++held;
  }
  if (held > 0) {
    found->push_back(path + u" (" + text::Utf8ToWide(std::to_string(held)) +
                     (held == 1 ? u" folder" : u" folders") +
                     (reachable ? u")" : u", too deep for the service)"));
  }
  const bool is_storage = folder.parent_id == phone::kRootId;
  for (const std::u16string& id : folder.children) {
    const phone::SimObject* child = device.Find(id);
    if (child == nullptr || !child->is_folder()) continue;
    FindCameraRolls(device, *child, path + u"\\" + Label(*child),
                    is_storage && ptp::IsCameraRollParent(AsPhoneObject(*child)), found);
  }
}

}  // namespace

std::vector<std::string> CameraRollLines(const phone::Phone& phone) {
  std::vector<std::string> lines;
  for (const phone::SimDevice& device : phone.devices) {
    const std::u16string label = device.friendly_name.empty() ? device.id : device.friendly_name;
    for (const std::u16string& storage_id : device.Find(phone::kRootId)->children) {
      const phone::SimObject* storage = device.Find(storage_id);
      if (storage == nullptr) continue;
      std::vector<std::u16string> found;
      FindCameraRolls(device, *storage, Label(*storage), true, &found);
      std::u16string line = label + u": ";
      if (found.empty()) line += u"no camera roll in " + Label(*storage);
      for (std::size_t i = 0; i < found.size(); ++i) {
        line += (i == 0 ? u"camera roll in " : u", ") + found[i];
      }
      lines.push_back("scan: " + text::WideToUtf8(line));
    }
  }
  return lines;
}

bool ScanApplePhones(ptp::DeviceLayer& layer, phone::Phone* phone, const ScanProblem& problem) {
  std::unique_ptr<ptp::DeviceManager> manager;
  const ptp::DeviceResult created = layer.CreateManager(&manager);
  if (ptp::DeviceFailed(created) || manager == nullptr) {
    problem("no device manager (" + Hex(created) + ")");
    return false;
  }
  for (const std::u16string& id : ptp::ListAppleDevices(*manager)) {
    phone::SimDevice device;
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
  for (phone::SimDevice& device : phone->devices) ScanDevice(layer, *keys, &device, problem);
  return true;
}

}  // namespace camvey::tools
