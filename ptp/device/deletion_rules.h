#ifndef CAMVEY_PTP_DEVICE_DELETION_RULES_H_
#define CAMVEY_PTP_DEVICE_DELETION_RULES_H_

// What the deletion pass decides for one wanted photo, as rules a reader can check line
// by line.
//
// The pass gathers evidence in rounds, each over every attached Apple device and storage
// at once (the household): the folders of the photo's own month, then those of the
// months before and after it, then every camera-roll folder. After each round Judge()
// turns a photo's evidence into a verdict. Judge reads nothing but its argument.
//
// A carrier of a wanted photo is an object, not known to be a folder, lying directly in
// a folder of the round's group, whose original file name is the wanted name (a to z
// folded) and, when the request gave the copy's size, whose size is that size. A
// camera-roll folder of no month (an older iOS's 100APPLE, a folder month folders lie
// inside) may hold a photo of any month: the month rounds read every one, and an object
// there that would be a carrier is one "of no month".
// The verdict, by the first row that applies:
//  1. The request's size is no byte count: left alone.
//  2. An earlier request of this process deleted this photo (same name and month, sizes
//     agreeing where both are known): answered as deleted then; nothing is sent.
//  Own month (a real month only; month_folder.h):
//  3. Two carriers or more, or one and one of no month: left alone. (One of no month
//     alone decides nothing here: the unique round counts it as a carrier.)
//  4. A folder of the group, or a device or storage, was not seen whole: kept back.
//  5. A carrier of unknown kind, or a namesake whose size is unknown: kept back.
//  6. One carrier: taken; but left alone when an earlier request sent an object of this
//     name with an unknown outcome and the carrier is not that same object, and left
//     alone when the request gave no size and another storage of the household allows
//     no deletion or did not say (with iCloud Photos on, a phone does not list a photo
//     kept only in iCloud: the copy may lie there unseen).
//  7. The own month holds the photo's stem under another extension: left alone. A folder
//     of no month counts as the own month's here, unless it holds one of no month too
//     (then its other files may be the rest of that photo, a Live Photo's MOV).
//  8. The request wants this name as more than one photo: left alone (each is taken only
//     from its own month).
//  9. An earlier request deleted, or may have deleted, an object of this stem: left alone.
//  10. Neighbouring months (a real month only): rows 3 to 6 over both neighbours' folders.
//  11. Unique name: rows 3 to 6 over every camera-roll folder of the household.
//  12. Not found.
// "Left alone" is final and records nothing: more evidence could not make a choice.
// "Kept back" is final too, but the photo may well be there: the pass answers
// "device_busy" when it deleted nothing.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ptp/device/deletion_memory.h"
#include "ptp/device/deletion_pass.h"
#include "ptp/device/folder_listing.h"

namespace camvey::ptp {

enum class Round { kOwnMonth, kNeighbours, kUnique };
inline constexpr std::size_t kRoundCount = 3;

// Why a round's group could not be seen whole.
enum class GapCause {
  kNone,
  // The list of attached devices may lack an Apple device: it was cut, or a device's id
  // or texts could not be read (no subject).
  kDeviceUnlisted,
  // A device could not be opened, went away, shows nothing or did not list all its
  // storages (subject: the device id).
  kDeviceUnseen,
  // A listing that shows the storage's camera-roll folders ended early or holds a folder
  // the pass cannot name (subject: the storage name). Month rounds.
  kFoldersHidden,
  // A folder of no month could not be read whole: its listing ended early, it holds a
  // folder or an object that could not be read, its folders hold more objects than the
  // listing limit, or an object of unknown kind may be one (subject: the storage name).
  // Month rounds.
  kNoMonthFolders,
  // A folder of the group ended early or holds an object whose file name could not be
  // read, or an object of unknown kind is named as one of its folders. Month rounds.
  kGroupUnseen,
  // Unique round (subject: the storage name): a listing ended early; an object could
  // not be read; a folder lies inside a camera-roll folder; the listing limit was met.
  kListingEndedEarly,
  kUnreadableObject,
  kDeeperFolder,
  kListingLimit,
};

struct Gap {
  GapCause cause = GapCause::kNone;
  std::u16string subject;

  explicit operator bool() const { return cause != GapCause::kNone; }
};

// An object of a wanted photo's name met in a round.
struct Sighting {
  const PhoneObject* object = nullptr;
  std::size_t device = 0;                     // index among the household's devices
  const std::u16string* device_id = nullptr;  // that device's id
  // The name of the folder holding it; borrowed, like `object`, from the listing.
  const std::u16string* folder = nullptr;
  // Storage, folder and position on its device: the order in which choices are sent.
  std::array<std::size_t, 3> place = {};
};

// What one round showed of one wanted photo over the whole household.
struct RoundEvidence {
  bool gathered = false;
  Gap gap;
  std::vector<Sighting> carriers;
  std::vector<Sighting> of_unknown_kind;  // would be carriers, but may be folders
  std::vector<Sighting> of_unknown_size;  // namesakes that give no size or cannot tell it
  std::vector<Sighting> of_other_size;    // namesakes of another size: other photos
  std::vector<Sighting> of_no_month;      // month rounds: carriers but for their folder
  // Own month: an object of the wanted stem under another name was there.
  bool stem_elsewhere = false;
};

// A storage of the household that allows no deletion, or did not say whether it does.
struct StorageWithoutDeletion {
  std::size_t device = 0;   // index among the household's devices
  std::size_t storage = 0;  // index among the device's storages
  const std::u16string* name = nullptr;
};

// Everything the rules read of one wanted photo.
struct PhotoEvidence {
  WantedFile wanted;
  bool real_month = false;
  // Distinct wanted photos of this name in the request, this one included.
  std::size_t photos_of_name = 1;
  // What the memory holds of it: the photo an earlier request deleted, whether its stem
  // was sent, and the objects of its name whose deletion had an unknown outcome.
  std::optional<SentPhoto> deleted_earlier;
  bool stem_sent_earlier = false;
  std::vector<SentPhoto> unresolved;
  // For a photo asked without a size: the storages that may not list every photo.
  std::vector<StorageWithoutDeletion> storages_without_deletion;
  std::array<RoundEvidence, kRoundCount> rounds;

  RoundEvidence& round(Round which) { return rounds[static_cast<std::size_t>(which)]; }
  const RoundEvidence& round(Round which) const { return rounds[static_cast<std::size_t>(which)]; }
};

enum class Reason {
  kNone,
  // Left alone.
  kSizeUnusable,
  kSeveralCarriers,
  kAlsoOfNoMonth,
  kMaybeDeletedEarlier,
  kMayLieUnlisted,
  kStemInOwnMonth,
  kSeveralPhotos,
  kStemSentEarlier,
  // Kept back.
  kNotSeenWhole,
  kKindUnknown,
  kSizeUnknown,
};

struct Verdict {
  enum class Kind {
    kSeek,            // gather `round` and judge again
    kTake,            // take `taken`, found in `round`
    kDeletedEarlier,  // answered by the memory
    kLeftAlone,       // `reason`, in `round` where a round decided
    kKeptBack,        // `reason`, in `round`
    kNotFound,
  };
  Kind kind = Kind::kNotFound;
  Round round = Round::kOwnMonth;
  Reason reason = Reason::kNone;
  const Sighting* taken = nullptr;
};

// The verdict for one wanted photo on its evidence so far. Pure.
Verdict Judge(const PhotoEvidence& evidence);

// The gaps whose trace line a pass wrote already: a gap that names a device or storage
// is said once however many photos it keeps back.
using GapsSaid = std::set<std::pair<GapCause, std::u16string>>;

// Writes the trace lines of a verdict once it is final (not kSeek): the namesakes its
// rounds passed over for their size, then the verdict's own line, if it has one.
void TraceVerdict(const PhotoEvidence& evidence, const Verdict& verdict, GapsSaid* gaps_said);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_DELETION_RULES_H_
