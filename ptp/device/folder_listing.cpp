#include "ptp/device/folder_listing.h"

#include <algorithm>
#include <iterator>
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
    object.access_unreadable = true;
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
  } else if (object.is_folder || !object.kind_known) {
    // Only an error value that says the device has no such value means none: one it has
    // and could not give, or left out of its answer, may allow no deletion.
    DeviceResult reason = kDeviceOk;
    const DeviceResult told = values->GetErrorValue(ObjectKey::kStorageAccessCapability, &reason);
    object.access_unreadable = DeviceFailed(told) || !NoSuchValue(reason);
  }
  return object;
}

IdListing ListChildIds(DeviceContent& content, const std::u16string& parent_id, std::size_t limit) {
  IdListing listing;
  std::unique_ptr<ObjectIdEnumerator> enumerator;
  listing.end = content.EnumObjects(parent_id, &enumerator);
  if (DeviceFailed(listing.end) || enumerator == nullptr) return listing;
  listing.enumerated = true;
  std::vector<std::u16string> batch;
  for (;;) {
    std::size_t wanted = kIdsPerNext;
    if (limit > 0) wanted = std::min(wanted, limit - listing.ids.size());
    const DeviceResult result = enumerator->Next(static_cast<std::uint32_t>(wanted), &batch);
    listing.end = result;
    // Only the normal end says that no child is left; anything else may hide some, and
    // so may full success with fewer ids than asked for, or more ids than asked for.
    if ((result != kDeviceOk && result != kDeviceFalse) || batch.size() > wanted ||
        (result == kDeviceOk && batch.size() < wanted)) {
      return listing;
    }
    listing.ids.insert(listing.ids.end(), std::make_move_iterator(batch.begin()),
                       std::make_move_iterator(batch.end()));
    // "No more objects" may come with the last ids, which are then all there were.
    if (result == kDeviceFalse || (limit > 0 && listing.ids.size() >= limit)) {
      listing.complete = true;
      return listing;
    }
  }
}

Listing ReadObjects(DeviceProperties& properties, KeyCollection& keys, const IdListing& ids) {
  Listing listing;
  listing.objects.reserve(ids.ids.size());
  for (const std::u16string& id : ids.ids) {
    listing.objects.push_back(ReadPhoneObject(properties, keys, id));
  }
  listing.complete = ids.complete;
  return listing;
}

Listing ListChildren(DeviceContent& content, DeviceProperties& properties, KeyCollection& keys,
                     const std::u16string& parent_id, std::size_t limit) {
  return ReadObjects(properties, keys, ListChildIds(content, parent_id, limit));
}

}  // namespace camvey::ptp
