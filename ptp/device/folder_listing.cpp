#include "ptp/device/folder_listing.h"

#include <optional>
#include <utility>

namespace camvey::ptp {

std::unique_ptr<KeyCollection> CreateKeySet(DeviceLayer& layer) {
  std::unique_ptr<KeyCollection> keys;
  if (DeviceFailed(layer.CreateKeyCollection(&keys)) || keys == nullptr) return nullptr;
  // A key that cannot be added only makes its value unreadable later, which every
  // reader already handles.
  keys->Add(ObjectKey::kOriginalFileName);
  keys->Add(ObjectKey::kName);
  keys->Add(ObjectKey::kContentType);
  keys->Add(ObjectKey::kSize);
  keys->Add(ObjectKey::kCanDelete);
  keys->Add(ObjectKey::kStorageAccessCapability);
  return keys;
}

PhoneObject ReadPhoneObject(DeviceProperties& properties, KeyCollection& keys,
                            const std::u16string& object_id) {
  PhoneObject object;
  object.id = object_id;
  std::unique_ptr<PropertyValues> values;
  if (DeviceFailed(properties.GetValues(object_id, keys, &values)) || values == nullptr) {
    return object;
  }
  std::optional<std::u16string> name;
  object.name_is_file_name =
      !DeviceFailed(values->GetStringValue(ObjectKey::kOriginalFileName, &name)) &&
      name.has_value();
  if (!object.name_is_file_name) {
    name.reset();
    if (DeviceFailed(values->GetStringValue(ObjectKey::kName, &name))) name.reset();
  }
  if (name.has_value()) object.name = std::move(*name);

  Guid content_type;
  if (!DeviceFailed(values->GetGuidValue(ObjectKey::kContentType, &content_type))) {
    object.is_folder =
        content_type == kContentTypeFolder || content_type == kContentTypeFunctionalObject;
    object.kind_known = true;
  }
  std::uint64_t size = 0;
  if (!DeviceFailed(values->GetUnsignedLargeIntegerValue(ObjectKey::kSize, &size))) {
    object.size = size;
  }
  bool can_delete = true;
  if (!DeviceFailed(values->GetBoolValue(ObjectKey::kCanDelete, &can_delete))) {
    object.can_delete = can_delete;
  }
  std::uint32_t access = 0;
  if (!DeviceFailed(
          values->GetUnsignedIntegerValue(ObjectKey::kStorageAccessCapability, &access))) {
    object.access_capability = access;
  }
  return object;
}

Listing ListChildren(DeviceContent& content, DeviceProperties& properties, KeyCollection& keys,
                     const std::u16string& parent_id, std::size_t limit) {
  Listing listing;
  std::unique_ptr<ObjectIdEnumerator> enumerator;
  if (DeviceFailed(content.EnumObjects(parent_id, &enumerator)) || enumerator == nullptr) {
    return listing;
  }
  std::optional<std::u16string> id;
  for (;;) {
    const DeviceResult result = enumerator->Next(&id);
    const bool child = (result == kDeviceOk || result == kDeviceFalse) && id.has_value();
    if (!child) {
      // Only the normal end says that no child is left; anything else may hide some.
      listing.complete = result == kDeviceFalse;
      return listing;
    }
    listing.objects.push_back(ReadPhoneObject(properties, keys, *id));
    id.reset();
    // "No more objects" may come with the last child, which is then all there was.
    if (result == kDeviceFalse || (limit > 0 && listing.objects.size() >= limit)) {
      listing.complete = true;
      return listing;
    }
  }
}

}  // namespace camvey::ptp
