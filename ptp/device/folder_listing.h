#ifndef CAMVEY_PTP_DEVICE_FOLDER_LISTING_H_
#define CAMVEY_PTP_DEVICE_FOLDER_LISTING_H_

// Listing the direct children of one object on an open phone.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ptp/device/device_layer.h"

namespace camvey::ptp {

// One object under a parent.
struct PhoneObject {
  std::u16string id;  // exactly as the device gave it
  // The original file name, else the object name; case as on the device. Empty when
  // neither could be read: the object may then carry any name.
  std::u16string name;
  // A folder or a functional object (storages are functional objects).
  bool is_folder = false;
  // False when the content type could not be read: is_folder is then false, but the
  // object may be a folder.
  bool kind_known = false;
  // True when `name` is the original file name. An object name is only what the phone
  // shows ("Holiday"): it says nothing of the file name, which may be any.
  bool name_is_file_name = false;
  // The size in bytes; empty when the device gives none or it could not be read.
  std::optional<std::uint64_t> size = std::nullopt;
  // Whether the device allows deleting the object; empty when it says nothing.
  std::optional<bool> can_delete = std::nullopt;
  // A storage's access capability (kReadOnlyWithoutObjectDeletion and the others);
  // empty when the device says nothing.
  std::optional<std::uint32_t> access_capability = std::nullopt;
  // True when a folder or storage, or an object that could not be read at all, has an
  // access capability that could not be read: it may allow no deletion. (A file's is
  // never looked at.)
  bool access_unreadable = false;
};

// The children of one object in the order the device enumerated them.
struct Listing {
  std::vector<PhoneObject> objects;
  // True when `objects` holds every child up to the listing's limit. False when
  // EnumObjects or a Next failed or broke its contract, so that children may exist
  // that are not here.
  bool complete = false;
};

// The keys every object is read with: original file name, name, content type, size,
// deletion flag, storage access capability. Null when the collection cannot be made.
std::unique_ptr<KeyCollection> CreateKeySet(DeviceLayer& layer);

// Reads one object's name, kind, size and what it allows. Never fails: what cannot be
// read stays empty (name, size, deletion flag, access capability) or unknown (kind).
PhoneObject ReadPhoneObject(DeviceProperties& properties, KeyCollection& keys,
                            const std::u16string& object_id);

// The ids of an object's children in the order the device enumerated them, before any
// of them is read: a phone hands a folder's ids over in one transaction, while each
// object's properties cost a round trip of their own.
struct IdListing {
  std::vector<std::u16string> ids;
  // As Listing::complete.
  bool complete = false;
  // False when EnumObjects failed or gave no enumerator: the children could not be
  // listed at all, which is not the same as having none.
  bool enumerated = false;
  // What ended an incomplete listing: the answer of EnumObjects when nothing was
  // enumerated, else that of the Next that failed or broke its contract.
  DeviceResult end = kDeviceOk;
};

// How many ids one Next asks for.
inline constexpr std::uint32_t kIdsPerNext = 256;

// The ids of the direct children of `parent_id`, at most `limit` of them (0: no limit).
// Never fails as such: a failure ends the listing early, possibly empty, and marks it
// incomplete. Costs one Next per kIdsPerNext ids, and one more where a folder's last
// batch was full.
IdListing ListChildIds(DeviceContent& content, const std::u16string& parent_id, std::size_t limit);

// Reads the objects of `ids`, one GetValues each; the listing is as complete as `ids`.
Listing ReadObjects(DeviceProperties& properties, KeyCollection& keys, const IdListing& ids);

// The direct children of `parent_id`, at most `limit` of them (0: no limit), listed and
// read: ListChildIds, then ReadObjects.
Listing ListChildren(DeviceContent& content, DeviceProperties& properties, KeyCollection& keys,
                     const std::u16string& parent_id, std::size_t limit);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_FOLDER_LISTING_H_
