#ifndef CAMVEY_FUZZ_PTP_PASS_CHECKS_H_
#define CAMVEY_FUZZ_PTP_PASS_CHECKS_H_

// What must hold after a deletion pass over fuzzed devices, whatever they answered.
// By number, as a finding reports it (5 and 6 are checked by the layer as calls
// happen; 6 also here):
// 1. Every object sent for deletion was listed by its device as a non-folder (kind
//    known, not a folder) inside a top-level folder of a storage, and carries a
//    requested name, a to z folded.
// 2. An object taken by its unique name, that is from no month folder of a month its
//    name was wanted under, lies on a storage whose every listing ended normally and
//    whose objects could be read where it matters (top-level kinds; inside top-level
//    folders, the original file name of everything not known to be a folder), and no
//    other photo inside that storage's top-level folders, as the device holds them,
//    carries its name.
// 3. An object taken from a neighbouring month's folder has no namesake in a folder of
//    the name's own month on that storage, whether the pass saw it or not.
// 4. Every reported name was reported deleted by its device (its status read and not
//    negative, or a request that succeeded whole), and no name more often than that.
// 6. Every object the layer handed out was released.
// 7. A device that answered that it is gone, or that opened showing no storage or
//    only storages without objects, leaves the code "device_busy" or one recorded
//    before it.
// Where a device lists an object in several places, the object passes when any one
// of them lets the pass take it.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "fuzz/ptp/fuzzed_device_layer.h"
#include "fuzz/ptp/fuzzed_phone.h"
#include "ptp/wanted_file.h"

namespace camvey::fuzz {

class PassChecks {
 public:
  // Borrows the phone and the layer the pass ran over.
  PassChecks(FuzzedPhone* phone, const FuzzedDeviceLayer& layer,
             const std::vector<ptp::WantedFile>& wanted);

  // Runs every check on the pass's outcome.
  void Run(const std::vector<std::u16string>& reported, const std::string& error);

 private:
  // Where a device listed an object sent for deletion: a storage and the top-level
  // folder of it that held the object.
  struct Place {
    std::u16string storage;
    std::u16string folder;
  };

  void CheckDeletion(const Connection& connection, const std::u16string& object_id);
  void CheckReported(const std::vector<std::u16string>& reported);
  void CheckCode(const std::string& error);

  // The places of `object_id` in what `connection` served.
  std::vector<Place> PlacesOf(const Connection& connection, const std::u16string& object_id);
  // True when the pass could not have seen everything inside the storage's top-level
  // folders.
  bool StorageHasGap(const Connection& connection, const std::u16string& storage);
  // True when an object other than `object_id`, not a folder, inside a top-level
  // folder of `storage` for which `in_folder` holds, has `name` (upper-cased), as the
  // device holds them.
  template <typename FolderTest>
  bool StorageHoldsNamesake(const Connection& connection, const std::u16string& storage,
                            const std::u16string& name, const std::u16string& object_id,
                            FolderTest in_folder);

  FuzzedPhone& phone_;
  const FuzzedDeviceLayer& layer_;
  // Upper-cased name to the months it was wanted under.
  std::map<std::u16string, std::set<std::u16string>> months_of_name_;
};

}  // namespace camvey::fuzz

#endif  // CAMVEY_FUZZ_PTP_PASS_CHECKS_H_
