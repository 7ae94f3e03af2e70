#ifndef CAMVEY_FUZZ_PTP_PASS_CHECKS_H_
#define CAMVEY_FUZZ_PTP_PASS_CHECKS_H_

// What must hold after each deletion pass of a run over fuzzed devices, whatever they
// answered. The checks reckon months, camera-roll folders, names and gone answers on
// their own (photo_terms.h, device_answers.h), from what the devices hold and what the
// pass was shown, never with the service's functions. Terms:
// - camera-roll folders of a storage: its top-level folders, and the folders directly
//   inside a top-level folder named DCIM; a photo may lie directly inside one of them;
// - a month's own folders begin with the month, its neighbours' with the month before
//   or after it; a month group is one storage's own folders of a month, or its
//   neighbours' folders together;
// - a carrier of a name: an object, not known to be a folder, whose name as the pass
//   reads it (the file name, else the object name) folds to the name;
// - an object listed in an own-month folder of a month its name was wanted under was
//   taken by that month's group; one in a neighbour's folder by the neighbours' group,
//   or by its unique name where the pass held the neighbours back; one elsewhere by its
//   unique name.
// By number, as a finding reports it (5 and 6 are checked by the layer as calls
// happen; 6 also here):
// 1. Every object sent for deletion was listed directly in a camera-roll folder, is
//    known not to be a folder, and carries a name the pass's request wanted.
// 2. An object taken by its unique name lies on a storage the pass saw whole (every
//    listing ended normally; top-level and DCIM kinds read; the file name read of
//    everything in a camera-roll folder that may be a photo), and no other photo in
//    that storage's camera-roll folders, as the device holds them, has its file name.
// 3. An object taken from a neighbouring month's folder: no own-month folder of its
//    storage holds its name or its stem, whether the pass saw it or not, and no
//    own-month folder the pass listed on any device held a carrier or its stem.
// 4. Every reported name was reported deleted by its device in this pass (its status
//    read and not negative, or a request that succeeded whole), or was reported by an
//    earlier pass of the run and is wanted again; no name more often than that.
// 6. Every object the layer handed out was released.
// 7. A device that answered that it is gone, or that opened showing no storage or only
//    storages that hold nothing or only empty DCIM folders, leaves the code
//    "device_busy" or one recorded before it.
// 8. At most one object is sent per wanted name in a pass, over all devices; over the
//    run, at most one object that left its device is taken for one (name, month).
// 9. An object taken in a month group carries its name as its file name and is the only
//    carrier of the name in that group (every object of the group's folders counted,
//    listed or not).
// 10. No object is taken by its unique name when an own-month or neighbour folder of
//    its name, as the pass listed it on any device, held a carrier, or an own-month
//    folder held its stem.
// 11. No object is taken by its unique name when an earlier pass of the run sent an
//    object of that name for deletion.
// 12. A (name, month) an earlier pass reported deleted is reported again, and no
//    object of that name is sent for it.
// Where a device lists an object in several places, the object passes when any one of
// them lets the pass take it.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/ptp/fuzzed_device_layer.h"
#include "fuzz/ptp/fuzzed_phone.h"
#include "ptp/wanted_file.h"

namespace camvey::fuzz {

// One pass of a run, as it ran.
struct PassRecord {
  std::vector<ptp::WantedFile> wanted;
  std::unique_ptr<FuzzedDeviceLayer> layer;
  std::vector<std::u16string> reported;
  std::string error;
  bool finished = false;  // the pass has returned
};

class PassChecks {
 public:
  // Checks the last pass of `run` (finished), the earlier ones as its history. Borrows
  // the phone and the run.
  PassChecks(FuzzedPhone* phone, const std::vector<PassRecord>& run);

  void Run();

 private:
  // What one connection listed: the children it handed out by parent, and the
  // camera-roll folders among them, each with its storage.
  struct Listed {
    std::map<std::u16string, std::set<std::u16string>> children;
    std::vector<std::pair<std::u16string, std::u16string>> roll;  // (storage, folder)
  };
  // Where a pass met an object sent for deletion: a camera-roll folder holding it.
  struct Place {
    const Connection* connection;
    std::u16string storage;
    std::u16string folder;
  };
  // A broken check: its number (0 for none) and what it asserts.
  struct Fault {
    int check = 0;
    const char* what = nullptr;
  };

  const Listed& ListedBy(const Connection& connection);
  std::vector<Place> PlacesOf(const PassRecord& pass, const std::u16string& device_id,
                              const std::u16string& object_id);
  // The months of `name` in `pass` an object sent there may have been taken for: those
  // whose own or neighbours' folders held it, else all (by its unique name).
  std::set<std::u16string> MonthsTakenFor(const PassRecord& pass, const Connection& sender,
                                          const std::u16string& object_id);

  void CheckOnePerName();
  void CheckRepeatedRequests();
  void CheckSent(const Connection& sender, const std::u16string& object_id);
  Fault MonthGroupFault(const Place& place, const std::u16string& object_id,
                        const std::u16string& name, const std::u16string& month, bool own);
  Fault UniqueNameFault(const Place& place, const std::u16string& object_id,
                        const std::u16string& name);
  void CheckReported();
  void CheckCode();

  // True when a month folder of `months` the pass listed, on any device, held a
  // carrier of `name` (own folders, and neighbours' when `neighbours`), or an own
  // folder held an object of its stem.
  bool ListedMonthFoldersHold(const std::u16string& name, const std::set<std::u16string>& months,
                              bool neighbours);
  // True when the pass could not have seen everything the storage's camera roll holds.
  bool StorageHasGap(const Connection& connection, const std::u16string& storage);
  // The camera-roll folders of a storage as the device holds them, a DCIM folder
  // being one the pass may take for DCIM.
  std::vector<std::u16string> HeldRoll(const Connection& connection, const std::u16string& storage);
  // The photos the device holds in `folder`, other than `object_id`.
  std::vector<const FuzzedObject*> HeldPhotos(const Connection& connection,
                                              const std::u16string& folder,
                                              const std::u16string& object_id);

  FuzzedPhone& phone_;
  const std::vector<PassRecord>& run_;
  const PassRecord& pass_;
  // Folded name to the months the pass wanted it under.
  std::map<std::u16string, std::set<std::u16string>> months_of_name_;
  std::map<const Connection*, Listed> listed_;
};

}  // namespace camvey::fuzz

#endif  // CAMVEY_FUZZ_PTP_PASS_CHECKS_H_
