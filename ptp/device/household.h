#ifndef CAMVEY_PTP_DEVICE_HOUSEHOLD_H_
#define CAMVEY_PTP_DEVICE_HOUSEHOLD_H_

// Every attached Apple device of a pass, opened together, and the evidence the pass
// gathers over all of them at once. A household's iPhone and iPad number their photos
// with independent counters, so a name and a month may well be on both: a photo is
// taken only when exactly one object of the whole household carries it, and only on
// evidence from every device and storage. A camera-roll folder of no month (100APPLE)
// may hold a photo of any month: the month rounds read every one.
//
// Evidence is gathered lazily, a round at a time and only for the photos that still
// seek it; each folder is listed at most once per storage (its camera roll's cache). On
// a phone every object read is a round trip over the cable: the unique round first
// counts a storage's camera roll by its folders' ids, and reads nothing of a camera roll
// too large to decide on.

#include <memory>
#include <string>
#include <vector>

#include "ptp/device/camera_roll.h"
#include "ptp/device/deletion_rules.h"
#include "ptp/device/device_layer.h"
#include "ptp/device/discovery.h"

namespace camvey::ptp {

// One attached Apple device as the pass sees it.
struct HouseholdDevice {
  std::u16string id;
  std::unique_ptr<PhoneConnection> connection;  // null when it could not be opened
  std::vector<std::unique_ptr<CameraRoll>> storages;
  bool storages_listed_whole = false;  // its storage list ended normally below the limit
  bool shows_anything = false;         // a locked phone shows nothing

  // Opened, with content and properties, and not gone.
  bool searchable() const {
    return connection != nullptr && connection->usable() && !connection->gone();
  }
  bool seen_whole() const { return searchable() && shows_anything && storages_listed_whole; }
};

class Household {
 public:
  // Opens every device of `devices` in turn and lists its storages and their camera
  // rolls. Borrows `layer` and `keys` for the household's lifetime. A household whose
  // device list may lack one is never searched whole.
  Household(DeviceLayer& layer, KeyCollection& keys, const AppleDevices& devices);

  Household(const Household&) = delete;
  Household& operator=(const Household&) = delete;

  std::vector<HouseholdDevice>& devices() { return devices_; }

  // The storages that allow no deletion or did not say whether they do: with iCloud
  // Photos on, a phone does not list a photo kept only in iCloud.
  std::vector<StorageWithoutDeletion> StoragesWithoutDeletion() const;

  // Gathers `round` for each of `photos`, which all seek it.
  void Gather(Round round, const std::vector<PhotoEvidence*>& photos);

 private:
  // A device the list may lack, else the first device that could not be searched whole,
  // as a gap.
  Gap DeviceGap() const;
  void GatherMonthRound(Round round, const std::vector<PhotoEvidence*>& photos);
  void GatherUniqueRound(const std::vector<PhotoEvidence*>& photos);

  KeyCollection& keys_;
  std::vector<HouseholdDevice> devices_;
  bool may_lack_device_ = false;
};

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_HOUSEHOLD_H_
