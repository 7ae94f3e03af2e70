#ifndef CAMVEY_FUZZ_PTP_HOUSEHOLD_H_
#define CAMVEY_FUZZ_PTP_HOUSEHOLD_H_

// What the household holds, as the checks reckon it on their own: every camera-roll
// folder of every storage of every device the pass took for an Apple device, as the
// devices hold them, listed or not, with what a reader can and cannot read of each
// object. A device counts whether the pass opened it or not, whether it went away,
// shows nothing as a locked phone does, or holds more storages than the pass lists: a
// copy there is a copy all the same. What a reader can read is judged with the keys the
// pass read objects with; an object's kind is the kind it has, read or not.
//
// Terms (photo_terms.h for names and months):
// - household: the devices of the last device list discovery was handed whose names, as
//   one of discovery's reads gave them, name an Apple device;
// - storages: every object under a device's root; camera-roll folders of a storage: its
//   top-level folders and the folders directly inside a top-level folder named DCIM;
// - a group of an entry: its own month's camera-roll folders, its neighbours', or (the
//   unique group) all of them;
// - a folder of no month: a camera-roll folder whose name does not begin with a real
//   month (a top-level DCIM too, for the files directly in it); a photo of any month may
//   lie in it, so every month group counts its namesakes as ones "of no month", which
//   only the unique group may take, and its objects of the entry's stem under another
//   extension unless it holds a namesake too;
// - a namesake in a group: an object directly inside a folder of the group that is no
//   folder, whose file name can be read and folds to the entry's name; a carrier unless
//   the entry has a size and the object's size was read and differs.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/ptp/fuzzed_device_layer.h"
#include "fuzz/ptp/fuzzed_phone.h"
#include "fuzz/ptp/photo_terms.h"

namespace camvey::fuzz {

// A device id and an object id: one object of the household.
using ObjectRef = std::pair<std::u16string, std::u16string>;

// A wanted file as the checks take it.
struct Entry {
  std::u16string name;  // folded
  std::u16string month;
  std::optional<std::uint64_t> size;
  bool size_unusable = false;
  MonthGroups groups;
};

enum class Round { kOwnMonth, kNeighbours, kUnique };

// What a group of the household holds for one entry.
struct GroupEvidence {
  // An object of the group that is no folder has a file name that cannot be read, a
  // folder among a storage's or a DCIM's objects has one, or (unique group) a folder
  // inside a camera-roll folder holds something: the group may hide a carrier.
  bool unreadable = false;
  std::set<ObjectRef> carriers;
  // Month groups: carriers but for lying in a folder of no month.
  std::set<ObjectRef> of_no_month;
  // Namesakes whose size cannot be read, for an entry with a size: each may be the copy.
  std::set<ObjectRef> size_unknown;
  // An object of the entry's stem under another extension.
  bool other_stem = false;
};

// One camera-roll folder as its device holds it.
struct HeldFolder {
  std::u16string device_id;
  std::u16string storage_id;
  std::u16string id;
  std::u16string name;  // its file name, read or not
  // Inside a top-level DCIM whose kind cannot be read: a folder the pass cannot tell
  // from a file, which the rules leave open for the month groups.
  bool in_unknown_dcim = false;
  // The distinct objects directly inside it that are no folders, as a reader sees them.
  std::vector<std::pair<std::u16string, SeenObject>> photos;
  bool holds_deeper = false;  // a folder inside it holds something
  bool of_no_month = false;
};

// The devices of the household as discovery read them.
std::set<std::u16string> HouseholdOf(const DiscoveryRecord& discovery);

class Household {
 public:
  // Reckons the household of the pass run through `layer`, drawing from `phone` what
  // is not yet drawn. Borrows nothing.
  Household(FuzzedPhone* phone, const FuzzedDeviceLayer& layer);

  bool Contains(const std::u16string& device_id) const { return device_ids_.count(device_id); }
  const std::set<std::u16string>& device_ids() const { return device_ids_; }
  const std::vector<HeldFolder>& roll() const { return roll_; }
  // The storages (device id, storage id) whose access capability was read as allowing no
  // deletion, or that may be storages whose capability could not be read.
  const std::set<ObjectRef>& storages_without_deletion() const {
    return storages_without_deletion_;
  }

  // The group of `round` for `entry`; with `with_unknown_dcim` false, the folders inside
  // a DCIM of unknown kind are left out of the month groups (never out of the unique one).
  GroupEvidence Evidence(const Entry& entry, Round round, bool with_unknown_dcim) const;
  // True when `folder` belongs to the group of `round` for `entry`.
  static bool InGroup(const HeldFolder& folder, const Entry& entry, Round round);

 private:
  // Adds a camera-roll folder; `dcim` for a top-level DCIM, whose folders are camera-roll
  // folders of their own.
  void AddFolder(FuzzedPhone& phone, FuzzedDevice& device, const ObjectRef& storage,
                 const std::u16string& folder_id, bool in_unknown_dcim, bool dcim);

  KeysAsked keys_;
  std::set<std::u16string> device_ids_;
  std::vector<HeldFolder> roll_;
  std::set<ObjectRef> storages_without_deletion_;
  // A folder among a storage's objects, or a DCIM's, whose file name cannot be read;
  // the second among those of a DCIM of unknown kind.
  bool unnamed_folder_ = false;
  bool unnamed_folder_in_unknown_dcim_ = false;
};

}  // namespace camvey::fuzz

#endif  // CAMVEY_FUZZ_PTP_HOUSEHOLD_H_
