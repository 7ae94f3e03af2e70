#ifndef CAMVEY_PTP_DEVICE_CAMERA_ROLL_H_
#define CAMVEY_PTP_DEVICE_CAMERA_ROLL_H_

// The camera roll of one storage: the folders in which the deletion pass looks for a
// photo, and what the pass knows it has not seen of them.
//
// Windows shows an iPhone's photos one level below its storage, in "DCIM":
// Internal Storage\DCIM\202208__\IMG_0001.HEIC (older phones: DCIM\100APPLE). Other
// layouts keep the month folders directly under the storage. The camera-roll folders
// are therefore the storage's top-level folders and the folders directly inside every
// top-level "DCIM" (a to z folded), in the storage's listing order with DCIM's folders
// right after DCIM. A photo is taken only from directly inside one of them: never from
// directly under the storage, never from deeper down.

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ptp/device/discovery.h"
#include "ptp/device/folder_listing.h"
#include "ptp/device/listing_cache.h"

namespace camvey::ptp {

// True when the object's file name is known. A name that stands in for it (the object
// name, "Holiday") is no evidence of what the file is called.
bool NamedByFile(const PhoneObject& object);

// True when every object the listing holds was listed and every photo's file name read.
bool SeenWhole(const Listing& listing);

// True for a top-level folder in which the camera roll lies, as "DCIM" (a to z folded).
bool IsCameraRollParent(const PhoneObject& object);

class CameraRoll {
 public:
  // Lists the storage's top-level objects, then the children of each DCIM through the
  // cache. Borrows the connection (which must be usable) and the key set for the
  // camera roll's lifetime.
  CameraRoll(const PhoneConnection& connection, KeyCollection& keys, PhoneObject storage);

  CameraRoll(const CameraRoll&) = delete;
  CameraRoll& operator=(const CameraRoll&) = delete;

  const PhoneObject& storage() const { return storage_; }
  const Listing& top_level() const { return top_level_; }
  // Top-level folders, DCIM's folders right after DCIM; valid as long as the camera roll.
  const std::vector<const PhoneObject*>& folders() const { return folders_; }
  // The listings the camera-roll folders were found in: the storage's, then each DCIM's.
  const std::vector<const Listing*>& parents() const { return parents_; }
  // The folder listings of this storage, each made at most once.
  ListingCache& cache() { return cache_; }

  // False when the storage's listing ended normally and shows nothing but DCIM folders
  // that were listed to their normal end and hold nothing, as a locked phone may.
  bool shows_anything() const { return shows_anything_; }

  // True when an object among the parents' children may be a camera-roll folder the
  // pass cannot name: a listing that ended early, or a folder, or an object of unknown
  // kind, whose file name could not be read.
  bool MayHideAnyFolder() const;
  // The names of the parents' children that may be folders though their kind could not
  // be read: a month folder of such a name may hide there.
  std::vector<std::u16string> NamesOfUnknownKind() const;
  // True for a top-level DCIM among folders(): its folders are camera-roll folders, not
  // folders inside one.
  bool HoldsCameraRollFolders(const PhoneObject& folder) const;
  // True for a camera-roll folder that is no month's folder ("202401__") and no top-level
  // DCIM: an older iOS's 100APPLE, or a folder month folders lie inside. A photo of any
  // month may lie in it.
  bool IsOfNoMonth(const PhoneObject& folder) const;

 private:
  PhoneObject storage_;
  Listing top_level_;
  ListingCache cache_;
  std::vector<const PhoneObject*> folders_;
  std::vector<const Listing*> parents_;
  std::vector<const PhoneObject*> dcim_folders_;
  bool shows_anything_ = false;
};

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_CAMERA_ROLL_H_
