#ifndef CAMVEY_PTP_DEVICE_DELETION_PASS_H_
#define CAMVEY_PTP_DEVICE_DELETION_PASS_H_

// The work behind "deleteFiles": find the wanted files on the attached Apple phones,
// delete them, and report what the phones really deleted.
//
// A photo is deleted only on complete, unambiguous evidence that it is the copy the
// application made. The pass looks in the camera roll of every storage (camera_roll.h:
// the top-level folders, and the folders inside DCIM, where Windows shows an iPhone's
// month folders), in three rounds over every attached Apple device, so that weaker
// evidence on one phone never beats stronger evidence on another:
// 1. Own month: the folders of the name's own month decide, on the first storage
//    whose own-month folders hold the name at all.
// 2. Neighbours: only for a name its own month's folders did not hold (not even under
//    another extension: one stem in one month is one photo), and only where those
//    folders were seen whole, the folders of the month before and after, as one group.
// 3. Unique name: only for a name no month folder held or may hide (a neighbour's folder
//    listed only in part keeps its names from this round on every storage), and that no
//    earlier request of this process sent for deletion, every camera-roll folder of a
//    storage the pass saw whole, where the name must occur exactly once.
// In a month group a name is taken only when exactly one object carries it, that object
// is known not to be a folder and carries the name as its file name (an object name that
// stands in for an unreadable file name proves nothing), and the group's folders were
// listed to their end. Names compare with a to z folded. Everything chosen on one device
// goes to it in one deletion request, and at most one object per wanted name.
//
// What earlier requests sent (deletion_memory.h) is consulted first: a photo already
// deleted is reported again without a search; one whose deletion had no clear outcome
// may only be taken as that same object.
//
// A device that answers that it is gone is asked nothing more but to close, and what
// was chosen on it is not sent; one that shows nothing, as a locked phone does, is not
// taken to lack the photos. Both get "device_busy". Such a device, one that could not
// be opened, or one whose storages were not all listed, may hold the copy of any name
// not yet found: while another device or storage was searched, those names stay wanted
// everywhere. A pass that deleted nothing while incomplete evidence kept a name back
// answers "device_busy" too: the photo may well be there.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ptp/device/deletion_memory.h"
#include "ptp/device/device_layer.h"

namespace camvey::ptp {

// One requested file, as the pass takes it (ParseWantedFiles makes these from the
// channel's "deleteFiles" arguments).
struct WantedFile {
  std::u16string name;   // upper-cased with UpperCaseWide; never empty
  std::u16string month;  // as sent, case kept; may be empty; not validated
  // The byte size of the application's copy; empty when the request gave none.
  std::optional<std::uint64_t> size = std::nullopt;
  // True when a size was sent that is no byte count (a string, a fraction, a negative
  // number): nothing is deleted for this entry.
  bool size_unusable = false;
};

// The error codes of a pass; at most one is recorded, the first.
inline constexpr char kErrorNotFound[] = "not_found";
inline constexpr char kErrorWpdUnavailable[] = "wpd_unavailable";
inline constexpr char kErrorNoCamera[] = "no_camera";
inline constexpr char kErrorDeviceBusy[] = "device_busy";
inline constexpr char kErrorDeleteRefused[] = "delete_refused";

// Once more objects than this have been listed on a storage, the unique-name search
// lists no further folder there; if a camera-roll folder is then left unseen, it
// chooses nothing on that storage.
inline constexpr std::size_t kUniqueSearchListingLimit = 15000;
// Objects under a device's root beyond this many are not searched.
inline constexpr std::size_t kStorageLimit = 20;

// A name looked up as if upper-cased a to z, without making the upper-cased copy.
struct FoldedName {
  const std::u16string& text;
};

// Orders upper-cased names by UTF-16 code unit, a prefix first; a FoldedName compares as
// its upper-cased text would.
struct NameOrder {
  using is_transparent = void;
  bool operator()(const std::u16string& lhs, const std::u16string& rhs) const { return lhs < rhs; }
  bool operator()(const FoldedName& lhs, const std::u16string& rhs) const;
  bool operator()(const std::u16string& lhs, const FoldedName& rhs) const;
};

// Upper-cased names.
using NameSet = std::set<std::u16string, NameOrder>;

// Runs one pass over every attached Apple device through `layer`. Names in `wanted`
// are upper-cased (ParseWantedFiles does that). Appends the names of the deleted
// objects as the phones spell them to `*deleted` (empty on entry) as soon as each
// phone has deleted them, so that a caller whose pass ends in an exception still knows
// what was deleted before it. `*error` must be empty on entry and receives at most one
// code; both a code and names may come out. `*memory` holds what earlier passes of this
// process sent for deletion; the pass adds what it sends. Device failures never
// escape: each ends as a code or as a shorter result.
void DeleteWantedFiles(DeviceLayer& layer, const std::vector<WantedFile>& wanted,
                       DeletionMemory* memory, std::vector<std::u16string>* deleted,
                       std::string* error);

// One pass as the first of its process: nothing was sent for deletion before it.
std::vector<std::u16string> DeleteWantedFiles(DeviceLayer& layer,
                                              const std::vector<WantedFile>& wanted,
                                              std::string* error);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_DELETION_PASS_H_
