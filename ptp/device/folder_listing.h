#ifndef CAMVEY_PTP_DEVICE_FOLDER_LISTING_H_
#define CAMVEY_PTP_DEVICE_FOLDER_LISTING_H_

// Listing the direct children of one object on an open phone.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "ptp/device/device_layer.h"

namespace camvey::ptp {

// One object under a parent.
struct PhoneObject {
  std::u16string id;  // exactly as the device gave it
  // The original file name, else the object name, else empty; case as on the device.
  std::u16string name;
  // A folder or a functional object (storages are functional objects).
  bool is_folder = false;
};

// Objects in the order the device enumerated them.
using Listing = std::vector<PhoneObject>;

// The keys every object is read with: original file name, name, content type. Null
// when the collection cannot be made.
std::unique_ptr<KeyCollection> CreateKeySet(DeviceLayer& layer);

// Reads one object's name and kind. Never fails: what cannot be read stays empty
// (name) or false (folder flag).
PhoneObject ReadPhoneObject(DeviceProperties& properties, KeyCollection& keys,
                            const std::u16string& object_id);

// The direct children of `parent_id`, at most `limit` of them (0: no limit). Never
// fails as such: a failure ends the listing early, possibly empty. Each child costs
// one Next and one GetValues.
Listing ListChildren(DeviceContent& content, DeviceProperties& properties, KeyCollection& keys,
                     const std::u16string& parent_id, std::size_t limit);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_FOLDER_LISTING_H_
