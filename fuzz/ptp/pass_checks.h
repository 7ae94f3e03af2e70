#ifndef CAMVEY_FUZZ_PTP_PASS_CHECKS_H_
#define CAMVEY_FUZZ_PTP_PASS_CHECKS_H_

// What must hold after each deletion pass of a run over fuzzed devices, whatever they
// answered: what may never be deleted or reported. The checks reckon months, camera-roll
// folders, names, sizes, devices and gone answers on their own (photo_terms.h,
// household.h, device_answers.h), from what the devices hold and what the pass was
// shown, never with the service's functions, and they do not remake the pass's choices:
// a sent object passes when some wanted entry may have taken it in some round.
//
// Terms, besides those of household.h:
// - an entry: a wanted (name, month, size or none); its size is unusable when the
//   request's was no byte count; one without a size is none of its own where the
//   request holds its name and month with a size: it is that photo asked once more;
// - a group is unreadable (it may hide a carrier of any name) when an object of its
//   folders (a month group's folders of no month included) that is no folder has a file
//   name that cannot be read, when a folder among the objects of a storage or of a DCIM
//   has one, and, for the unique group and the folders of no month, when a folder inside
//   a camera-roll folder holds anything;
// - a name is wanted as several photos when the request holds it under more than one
//   distinct (month, size), unusable sizes counted as sizes of their own;
// - the memory: what the earlier passes of the run sent, each object with the outcome
//   of its latest sending as its device told it: deleted (its status not an error, or a
//   request that succeeded whole without one), refused (its status an error) or unknown.
// A round may take an object for an entry when its group is readable, holds no namesake
// of unknown size but the object, and holds no carrier but the object, which carries the
// entry (its size read and equal to the entry's, if the entry has one). The rounds, each
// only after the ones before it left the entry to it:
// - own month (real months only): as said;
// - neighbours (real months only): the own-month group readable, holding no carrier, no
//   namesake of unknown size and no object of the entry's stem under another extension;
// - uniqueness: the own-month and the neighbours' groups likewise (the stem in the own
//   month only), for any month.
// Neighbours and uniqueness besides only for a name wanted as one photo whose stem the
// memory holds no deleted or unknown object of.
//
// By number, as a finding reports it (5 and 6 are checked by the layer as calls happen;
// 6 also here):
// 1. Every object sent for deletion went to a device of the household, was listed
//    directly in a camera-roll folder and lies in one as its device holds it, is known
//    not to be a folder, and its file name was read and folds to a wanted name.
// 2. An object taken in a round is the only carrier of its entry in that round's group,
//    over every device of the household as it holds it, listed or not; in a month
//    round, no folder of no month holds a namesake that would carry it.
// 3. Nothing is taken from the neighbours while the own month holds a carrier or an
//    object of the entry's stem under another extension, nor by uniqueness while the
//    own month or the neighbours hold a carrier (or the own month that stem).
// 4. Every reported name was reported deleted by its device in this pass (its status
//    read and not negative, or a request that succeeded whole), or was reported by an
//    earlier pass and is wanted again; no name more often than it is wanted.
// 6. Every object the layer handed out was released.
// 7. A device of the household whose Open failed, that answered that it is gone, or
//    that opened showing no storage or only storages that hold nothing or only empty
//    DCIM folders, leaves the code "device_busy" or one recorded before it.
// 8. In a pass no object is sent twice, no device is sent more than one deletion
//    request, and no more objects of a name are sent than it is wanted as photos.
// 9. Nothing is taken for an entry whose size is unusable; an entry with a size takes
//    only an object whose size was read and equals it, and nothing from, or after, a
//    group that holds another namesake of unknown size.
// 10. Nothing is taken from, or after, a group that is unreadable.
// 11. Nothing is taken from the neighbours or by uniqueness for an entry whose stem the
//    memory holds an object of, deleted or of unknown outcome.
// 12. An entry that is the same photo as one an earlier pass reported deleted (the one
//    usable entry of its name in each pass, same month, same size or none in both) is
//    reported again, and no object of its name is sent.
// 13. No object is taken for a name while the memory holds another object of that name
//    whose outcome is unknown.
// 14. A name wanted as several photos is taken only from an entry's own month.
// 15. As 2, 3, 9 and 10 for the month groups, where what breaks them lies only in the
//    folders of a top-level DCIM whose kind cannot be read: the pass cannot tell that
//    DCIM from a file, yet it holds month folders of the camera roll.
// 16. Nothing is sent for deletion that its device declared it may not delete: no
//    object whose can-delete flag was read as false, and none but one listed directly
//    in a camera-roll folder of a storage whose access capability was read, or that the
//    device said it has none of, and not as 1 (read-only without object deletion).
// 17. Nothing is sent for deletion while the device list discovery was handed may lack
//    an Apple device: the list said it had no room for every device, claimed more ids
//    than it had room for, or held a null entry, or a device that its reads do not name
//    an Apple device failed a read of one of its texts.
// 18. Nothing is taken for an entry without a size while another storage of the
//    household than the object's allows no deletion or may be a storage whose access
//    capability could not be read: with iCloud Photos on, a phone does not list a photo
//    kept only in iCloud.
// Where a device lists an object in several places, or several entries or rounds may
// have taken it, the object passes when any one of them lets the pass take it.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/ptp/fuzzed_device_layer.h"
#include "fuzz/ptp/fuzzed_phone.h"
#include "fuzz/ptp/household.h"
#include "ptp/device/deletion_pass.h"

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
  // Checks the last pass of `run` (finished), the earlier ones as its history, drawing
  // from `phone` what the devices hold and is not drawn yet. Borrows the run.
  PassChecks(FuzzedPhone* phone, const std::vector<PassRecord>& run);

  void Run();

 private:
  enum class Outcome { kDeleted, kRefused, kUnknown };
  // An object of the memory: its folded name and the outcome of its latest sending.
  struct Remembered {
    std::u16string name;
    Outcome outcome = Outcome::kUnknown;
  };
  // What one connection listed: the children it handed out by parent, and the
  // camera-roll folders among them, each with its storage.
  struct Listed {
    std::map<std::u16string, std::set<std::u16string>> children;
    std::vector<std::pair<std::u16string, std::u16string>> roll;  // (storage, folder)
  };
  // A broken check: its number and what it asserts.
  struct Fault {
    int check = 0;
    const char* what = nullptr;
  };
  using Faults = std::vector<Fault>;

  static Outcome OutcomeOf(const ServedDeletion& deletion, std::size_t index);

  const Listed& ListedBy(const Connection& connection);
  // True when a connection to the device listed the object directly in a camera-roll
  // folder; with `deletable_storage`, in one of a storage whose access capability that
  // connection did not read as read-only without object deletion.
  bool ListedInRoll(const std::u16string& device_id, const std::u16string& object_id,
                    bool deletable_storage);
  // True when the object lies directly in a folder of the group of `round` for `entry`.
  bool LiesIn(const ObjectRef& object, const Entry& entry, Round round) const;
  // True when it lies directly in a camera-roll folder of the household.
  bool LiesInRoll(const ObjectRef& object) const;
  bool WantedAsSeveralPhotos(const std::u16string& name) const;

  void CheckOncePerPass();
  void CheckRepeatedRequests();
  void CheckSent(const Connection& sender, const std::u16string& object_id);
  // What stops `round` from taking `object` (seen as `seen`) for `entry`.
  Faults RoundFaults(const ObjectRef& object, const SeenObject& seen, const Entry& entry,
                     Round round) const;
  // What in the group of `round` stops the pass from taking `object` in it (`deciding`)
  // or from going on past it to a later round.
  void AddGroupFaults(const ObjectRef& object, const Entry& entry, Round round, bool deciding,
                      Faults* faults) const;
  void CheckReported();
  void CheckCode();
  void CheckDeviceList();

  const std::vector<PassRecord>& run_;
  const PassRecord& pass_;
  Household household_;
  std::vector<Entry> entries_;
  // By (device id, object id), over the earlier passes.
  std::map<ObjectRef, Remembered> memory_;
  std::map<const Connection*, Listed> listed_;
};

}  // namespace camvey::fuzz

#endif  // CAMVEY_FUZZ_PTP_PASS_CHECKS_H_
