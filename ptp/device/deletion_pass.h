#ifndef CAMVEY_PTP_DEVICE_DELETION_PASS_H_
#define CAMVEY_PTP_DEVICE_DELETION_PASS_H_

// The work behind "deleteFiles": find the wanted files on the attached Apple phones,
// delete them, and report what the phones really deleted.
//
// A photo is deleted only on complete, unambiguous evidence that it is the copy the
// application made. A household's iPhone and iPad number their photos with independent
// counters, so the same name in the same month is common: every attached Apple device is
// opened and searched together, and a photo is taken only when exactly one object of
// the whole household carries its name (and the copy's size, when the request gives
// it). The pass runs in three parts:
// - Evidence (household.h): in rounds over every device and storage at once, the
//   folders of each photo's own month, then of the months beside it, then every
//   camera-roll folder (camera_roll.h); each round only for the photos still sought.
// - Rules (deletion_rules.h): one verdict per photo from its evidence alone.
// - Request (deletion_request.h): per device one deletion request with what was taken.
// What earlier requests of the process sent (deletion_memory.h) is part of the
// evidence: a photo already deleted is answered again without a search.
//
// A device that answers that it is gone is asked nothing more but to close, and what
// was chosen on it is not sent; one that shows nothing, as a locked phone does, is not
// taken to lack the photos. Both get "device_busy". A pass that deleted nothing while
// incomplete evidence kept a photo back answers "device_busy" too: the photo may well
// be there.

#include <cstdint>
#include <optional>
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
// lists no further folder there, and decides nothing.
inline constexpr std::size_t kUniqueSearchListingLimit = 15000;
// Objects under a device's root beyond this many are not searched.
inline constexpr std::size_t kStorageLimit = 20;

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
