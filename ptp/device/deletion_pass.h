#ifndef CAMVEY_PTP_DEVICE_DELETION_PASS_H_
#define CAMVEY_PTP_DEVICE_DELETION_PASS_H_

// The work behind "deleteFiles": find the wanted files on the attached Apple phones,
// delete them, and report what the phones really deleted.
//
// A wanted name is looked for, storage by storage, first in the top-level folders of
// its own month, then, while still missing, in those of the two neighbouring months,
// unless the folders of its own month were not seen whole (they may hide the copy that
// was made); within each of these groups the first object with that name wins. Names
// still missing are then looked for in every top-level folder of the storage, where an
// object is taken only if its name occurs there exactly once, and only if the pass saw
// everything those folders hold: a listing that ended early, an object whose file name
// or kind could not be read (an object name that stands in for the file name proves
// nothing), or the listed-object limit leaves every such name wanted. Only objects
// exactly two levels below a storage are ever chosen, never folders nor objects that
// may be folders (kind unreadable), and names compare with a to z folded. Everything
// chosen on one device goes to it in one deletion request.
//
// A device that answers that it is gone is asked nothing more but to close, and what
// was chosen on it is not sent; one that shows no storage, or only empty ones, as a
// locked phone does, is not taken to lack the photos. Both get "device_busy".

#include <set>
#include <string>
#include <vector>

#include "ptp/device/device_layer.h"
#include "ptp/device/folder_listing.h"
#include "ptp/wanted_file.h"

namespace camvey::ptp {

// The error codes of a pass; at most one is recorded, the first.
inline constexpr char kErrorNotFound[] = "not_found";
inline constexpr char kErrorWpdUnavailable[] = "wpd_unavailable";
inline constexpr char kErrorNoCamera[] = "no_camera";
inline constexpr char kErrorDeviceBusy[] = "device_busy";
inline constexpr char kErrorDeleteRefused[] = "delete_refused";

// Once more objects than this have been listed on a storage, the unique-name search
// lists no further folder there; if a top-level folder is then left unseen, it
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

// One object chosen for deletion.
struct ChosenObject {
  std::u16string id;
  std::u16string name;  // as the phone spells it
};

// Chooses from one folder listing the first non-folder object for each name that is
// both in `wanted_here` and still in `remaining`, taking the name out of `remaining`
// and appending the object to `chosen`; an object whose kind could not be read (it may
// be a folder) takes the name out all the same but is not chosen. Stops once
// `remaining` is empty.
void MatchFolderListing(const Listing& listing, const NameSet& wanted_here, NameSet* remaining,
                        std::vector<ChosenObject>* chosen);

// Runs one pass over every attached Apple device through `layer`. Names in `wanted`
// are upper-cased (ParseWantedFiles does that). Returns the names of the deleted
// objects as the phones spell them, in the order they were chosen. `*error` must be
// empty on entry and receives at most one code; both a code and names may come out.
// Device failures never escape: each ends as a code or as a shorter result.
std::vector<std::u16string> DeleteWantedFiles(DeviceLayer& layer,
                                              const std::vector<WantedFile>& wanted,
                                              std::string* error);

// The same pass, appending each name to `*deleted` (empty on entry) as soon as its
// phone has deleted the object, so that a caller whose pass ends in an exception still
// knows what was deleted before it.
void DeleteWantedFiles(DeviceLayer& layer, const std::vector<WantedFile>& wanted,
                       std::vector<std::u16string>* deleted, std::string* error);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_DELETION_PASS_H_
