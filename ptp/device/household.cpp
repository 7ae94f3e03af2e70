#include "ptp/device/household.h"

#include <algorithm>
#include <map>
#include <memory_resource>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ptp/device/delete_trace.h"
#include "ptp/device/folder_listing.h"
#include "ptp/device/month_folder.h"
#include "ptp/device/photo_name.h"
#include "text/wide_text.h"

namespace camvey::ptp {
namespace {

// Upper-cased wanted name to the objects of that name met. Every wanted name is a key
// before anything is listed, so that an object listed is only looked up, never added:
// a listing's objects are thousands. Keys are views of the wanted photos' names, which
// outlive the round. A round's tables live in its own arena (RoundArena): they hold an
// entry or two for each of thousands of photos, and all go at once when the round ends.
using Sightings = std::pmr::vector<Sighting>;
using Namesakes = std::pmr::unordered_map<std::u16string_view, Sightings>;

// Sized for the tables of a round of `photos` photos, a name and a stem entry and a
// sighting or two each; grows beyond that when needed.
class RoundArena : public std::pmr::monotonic_buffer_resource {
 public:
  explicit RoundArena(std::size_t photos)
      : std::pmr::monotonic_buffer_resource(std::max<std::size_t>(photos, 16) * kBytesPerPhoto) {}

 private:
  static constexpr std::size_t kBytesPerPhoto = 256;
};

// What the upper-cased names met under one wanted stem tell of a photo of that stem.
struct NamesOfStem {
  std::u16string first;  // the first name met; empty while none was
  bool several = false;  // a name other than `first` was met too

  void Meet(std::u16string_view name) {
    if (first.empty()) {
      first = name;
    } else if (name != first) {
      several = true;
    }
  }
  // True when a name met under the stem is not `name`.
  bool OtherThan(const std::u16string& name) const {
    return several || (!first.empty() && first != name);
  }
};

// The photos of one month that seek a month round, and what the round's folders of that
// month showed over the household.
struct MonthGroup {
  MonthGroup(MonthFolderMatch round_folders, std::pmr::memory_resource* arena)
      : folders(std::move(round_folders)), namesakes(arena), stems(arena) {}

  MonthFolderMatch folders;  // the round's folders of this month
  // A photo of the month the round seeks, with its entries in `namesakes` and, in the
  // own month, `stems`, so that the round concludes without looking it up again.
  struct Seeker {
    PhotoEvidence* photo = nullptr;
    const Sightings* namesakes = nullptr;
    const NamesOfStem* stem = nullptr;  // null but in the own month
  };
  std::vector<Seeker> seekers;
  Gap gap;
  Namesakes namesakes;
  // Wanted stem to the names met under it (own month only); every wanted stem a key,
  // a view of its photo's name.
  std::pmr::unordered_map<std::u16string_view, NamesOfStem> stems;
};

// What the folders of no month showed in a month round, over the household: a photo of
// any month may lie there. Keys, once the first file of no month is met: every wanted
// name of the round and, in the own month, every wanted stem, as views of the wanted
// photos' names; for each stem, the upper-cased names met under it in each folder that
// held one.
struct NoMonthEvidence {
  NoMonthEvidence(const std::vector<PhotoEvidence*>& round_photos, Round of_round,
                  std::pmr::memory_resource* arena)
      : photos(round_photos), round(of_round), namesakes(arena) {}

  // Makes the keys before the first file of no month is looked up: a current iPhone
  // shows no such file, and then a round makes none of them.
  void Prepare() {
    if (prepared) return;
    prepared = true;
    namesakes.reserve(photos.size());
    if (round == Round::kOwnMonth) stems.reserve(photos.size());
    for (const PhotoEvidence* photo : photos) {
      namesakes.try_emplace(photo->wanted.name);
      if (round == Round::kOwnMonth) stems.try_emplace(StemOfUpperCased(photo->wanted.name));
    }
  }

  const std::vector<PhotoEvidence*>& photos;
  Round round;
  bool prepared = false;
  Namesakes namesakes;
  std::unordered_map<std::u16string_view, std::vector<std::vector<std::u16string>>> stems;
};

// True when a folder of no month holds the photo's stem under another name but not the
// photo's own name: with the own name beside it, the other files may be the rest of that
// photo (a Live Photo's MOV).
bool StemOfNoMonthElsewhere(const NoMonthEvidence& no_month, const std::u16string& name) {
  const auto folders = no_month.stems.find(StemOfUpperCased(name));
  if (folders == no_month.stems.end()) return false;
  return std::any_of(folders->second.begin(), folders->second.end(), [&name](const auto& names) {
    return std::find(names.begin(), names.end(), name) == names.end();
  });
}

// Keeps the first cause: it is the one the trace names.
void NoteGap(Gap* gap, GapCause cause, const std::u16string& subject = {}) {
  if (!*gap) *gap = {cause, subject};
}

// Files a namesake of the wanted photo under what it may be: a carrier (or, met in a
// month round in a folder of no month, one of no month), another photo (its size
// differs), or an object the pass cannot tell from a carrier.
void Sort(const Sighting& sighting, const WantedFile& wanted, bool of_no_month,
          RoundEvidence* evidence) {
  const PhoneObject& object = *sighting.object;
  if (wanted.size.has_value() && object.size.has_value() && *object.size != *wanted.size) {
    evidence->of_other_size.push_back(sighting);
  } else if (!object.kind_known) {
    evidence->of_unknown_kind.push_back(sighting);
  } else if (wanted.size.has_value() && !object.size.has_value()) {
    evidence->of_unknown_size.push_back(sighting);
  } else if (of_no_month) {
    evidence->of_no_month.push_back(sighting);
  } else {
    evidence->carriers.push_back(sighting);
  }
}

// Completes one photo's evidence of a round from the namesakes met in the round's
// folders and, for a month round, in the folders of no month.
void Conclude(Round round, const Gap& gap, const Sightings& met, const Namesakes& of_no_month,
              PhotoEvidence* photo) {
  RoundEvidence& evidence = photo->round(round);
  evidence.gathered = true;
  evidence.gap = gap;
  for (const Sighting& sighting : met) Sort(sighting, photo->wanted, false, &evidence);
  const auto met_elsewhere = of_no_month.find(photo->wanted.name);
  if (met_elsewhere != of_no_month.end()) {
    for (const Sighting& sighting : met_elsewhere->second) {
      Sort(sighting, photo->wanted, true, &evidence);
    }
  }
}

// Why the unique round cannot rely on what the storage's camera-roll parents showed: a
// listing that ended early, or a child that may be a folder the pass cannot name. Every
// round reads the parents alike: a folder there that cannot be named may be any.
Gap ParentsGap(const CameraRoll& roll) {
  Gap gap;
  const std::u16string& storage = roll.storage().name;
  for (const Listing* parent : roll.parents()) {
    if (!parent->complete) NoteGap(&gap, GapCause::kListingEndedEarly, storage);
    for (const PhoneObject& object : parent->objects) {
      // An object of unknown kind may be a camera-roll folder, and a folder whose file
      // name is unknown may be a DCIM, whose folders then go unlisted.
      if (!object.kind_known || (object.is_folder && !NamedByFile(object))) {
        NoteGap(&gap, GapCause::kUnreadableObject, storage);
      }
    }
  }
  return gap;
}

// Why the unique round cannot read the storage's camera roll whole, from the ids of its
// folders alone, before any of their objects is read: an id listing that ended early,
// or more objects than the limit listed before a folder, counted in the order the
// round lists them (what earlier rounds read first), so that the folder that crosses
// the mark is still read whole.
Gap CountGap(CameraRoll& roll) {
  const std::u16string& storage = roll.storage().name;
  std::size_t listed = roll.cache().listed_count();
  for (const PhoneObject* folder : roll.folders()) {
    if (listed > kUniqueSearchListingLimit) return {GapCause::kListingLimit, storage};
    const bool read = roll.cache().Read(folder->id);
    const IdListing& ids = roll.cache().Ids(folder->id);
    if (!ids.complete) return {GapCause::kListingEndedEarly, storage};
    if (!read) listed += ids.ids.size();
  }
  return {};
}

// Why the month rounds cannot read the storage's folders of no month whole, from their
// ids alone, before any of their objects is read: an id listing that ended early, or
// more objects there than the listing limit.
Gap NoMonthCountGap(CameraRoll& roll) {
  Gap gap = {GapCause::kNoMonthFolders, roll.storage().name};
  std::size_t count = 0;
  for (const PhoneObject* folder : roll.folders()) {
    if (!roll.IsOfNoMonth(*folder)) continue;
    const IdListing& ids = roll.cache().Ids(folder->id);
    count += ids.ids.size();
    if (!ids.complete || count > kUniqueSearchListingLimit) return gap;
  }
  return {};
}

// Reads the files of folder `f` of storage `s` of device `d`, a folder of no month or a
// top-level DCIM (whose files are of no month too), into `evidence`. Gives why it cannot
// be relied on: its listing ended early, or it holds a folder (DCIM's are the camera
// roll), an object that may be one, or an object whose file name could not be read.
Gap ReadFilesOfNoMonth(CameraRoll& roll, std::size_t d, const std::u16string& device_id,
                       std::size_t s, std::size_t f, NoMonthEvidence* evidence) {
  const PhoneObject& folder = *roll.folders()[f];
  const bool holds_roll = roll.HoldsCameraRollFolders(folder);
  Gap gap = {GapCause::kNoMonthFolders, roll.storage().name};
  const Listing& listing = roll.cache().Lookup(folder.id);
  if (!listing.complete) return gap;
  std::u16string upper_name;
  std::unordered_map<std::u16string_view, std::vector<std::u16string>> stems_here;
  for (std::size_t p = 0; p < listing.objects.size(); ++p) {
    const PhoneObject& object = listing.objects[p];
    // DCIM's children of unknown kind are its parent's gap (CameraRoll::MayHideAnyFolder).
    if ((object.is_folder || !object.kind_known) && holds_roll) continue;
    if (object.is_folder || !object.kind_known || !NamedByFile(object)) return gap;
    evidence->Prepare();
    const std::u16string_view name = UpperCasedName(object.name, &upper_name);
    const auto wanted_stem = evidence->stems.find(StemOfUpperCased(name));
    if (wanted_stem != evidence->stems.end()) {
      stems_here[wanted_stem->first].emplace_back(name);
    }
    const auto met = evidence->namesakes.find(name);
    if (met != evidence->namesakes.end()) {
      met->second.push_back({&object, d, &device_id, &folder.name, {s, f, p}});
    }
  }
  for (auto& [stem, names] : stems_here) evidence->stems[stem].push_back(std::move(names));
  return {};
}

// Reads the camera roll of storage `s` of device `d` whole, filing the objects of the
// wanted names met (`namesakes` holds every wanted name as a key), and gives the first
// reason it cannot be relied on, after which nothing more is read.
Gap ReadWholeRoll(CameraRoll& roll, std::size_t d, const std::u16string& device_id, std::size_t s,
                  Namesakes* namesakes) {
  const std::u16string& storage = roll.storage().name;
  Gap gap = ParentsGap(roll);
  if (!gap) gap = CountGap(roll);
  std::u16string name;
  const std::vector<const PhoneObject*>& folders = roll.folders();
  for (std::size_t f = 0; f < folders.size() && !gap; ++f) {
    const Listing& listing = roll.cache().Lookup(folders[f]->id);
    const bool holds_roll = roll.HoldsCameraRollFolders(*folders[f]);
    for (std::size_t p = 0; p < listing.objects.size() && !gap; ++p) {
      const PhoneObject& object = listing.objects[p];
      // A folder inside a camera-roll folder may hold the copy where no photo is taken
      // from, and so may an object that may be a folder. DCIM's own folders are the
      // camera roll; its objects of unknown kind make a parent's gap.
      if (object.is_folder) {
        if (!holds_roll) NoteGap(&gap, GapCause::kDeeperFolder, storage);
        continue;
      }
      // An object whose file name could not be read may carry any wanted name.
      if (!NamedByFile(object)) {
        NoteGap(&gap, GapCause::kUnreadableObject, storage);
        continue;
      }
      if (!object.kind_known) {
        if (!holds_roll) NoteGap(&gap, GapCause::kDeeperFolder, storage);
        continue;
      }
      const auto met = namesakes->find(UpperCasedName(object.name, &name));
      if (met != namesakes->end()) {
        met->second.push_back({&object, d, &device_id, &folders[f]->name, {s, f, p}});
      }
    }
  }
  return gap;
}

}  // namespace

Household::Household(DeviceLayer& layer, KeyCollection& keys, const AppleDevices& devices)
    : keys_(keys), may_lack_device_(devices.may_lack_one) {
  for (const std::u16string& device_id : devices.ids) {
    HouseholdDevice& device = devices_.emplace_back();
    device.id = device_id;
    std::unique_ptr<PortableDevice> opened = OpenPhone(layer, device_id);
    if (opened == nullptr) continue;
    device.connection = std::make_unique<PhoneConnection>(std::move(opened));
    if (!device.searchable()) continue;
    const PhoneConnection& connection = *device.connection;
    const Listing storages = ListChildren(connection.content(), connection.properties(), keys_,
                                          kDeviceObjectId, kStorageLimit);
    // A list cut at the limit may hide more storages.
    device.storages_listed_whole = storages.complete && storages.objects.size() < kStorageLimit;
    // A storage list that failed is no sign of a locked phone, which lists its storages.
    device.shows_anything = !storages.complete;
    for (const PhoneObject& storage : storages.objects) {
      if (connection.gone()) break;
      auto roll = std::make_unique<CameraRoll>(connection, keys_, storage);
      device.shows_anything = device.shows_anything || roll->shows_anything();
      device.storages.push_back(std::move(roll));
    }
  }
}

Gap Household::DeviceGap() const {
  if (may_lack_device_) return {GapCause::kDeviceUnlisted, {}};
  for (const HouseholdDevice& device : devices_) {
    if (!device.seen_whole()) return {GapCause::kDeviceUnseen, device.id};
  }
  return {};
}

std::vector<StorageWithoutDeletion> Household::StoragesWithoutDeletion() const {
  std::vector<StorageWithoutDeletion> storages;
  for (std::size_t d = 0; d < devices_.size(); ++d) {
    for (std::size_t s = 0; s < devices_[d].storages.size(); ++s) {
      const PhoneObject& storage = devices_[d].storages[s]->storage();
      if (storage.access_capability == kReadOnlyWithoutObjectDeletion ||
          storage.access_unreadable) {
        storages.push_back({d, s, &storage.name});
      }
    }
  }
  return storages;
}

void Household::Gather(Round round, const std::vector<PhotoEvidence*>& photos) {
  if (round == Round::kUnique) {
    GatherUniqueRound(photos);
  } else {
    GatherMonthRound(round, photos);
  }
}

void Household::GatherMonthRound(Round round, const std::vector<PhotoEvidence*>& photos) {
  const MonthFolderMatch::Kind kind = round == Round::kOwnMonth
                                          ? MonthFolderMatch::Kind::kOwn
                                          : MonthFolderMatch::Kind::kNeighbours;
  RoundArena arena(photos.size());
  std::map<std::u16string, MonthGroup> groups;
  for (PhotoEvidence* photo : photos) {
    const std::u16string& month = photo->wanted.month;
    auto found = groups.find(month);
    if (found == groups.end()) {
      found = groups.emplace(month, MonthGroup(MonthFolderMatch(month, kind), &arena)).first;
    }
    found->second.seekers.push_back({photo});
  }
  // Each month's tables are sized before they fill: a round's photos are thousands.
  for (auto& [month, group] : groups) {
    group.namesakes.reserve(group.seekers.size());
    if (round == Round::kOwnMonth) group.stems.reserve(group.seekers.size());
    for (MonthGroup::Seeker& seeker : group.seekers) {
      const std::u16string& name = seeker.photo->wanted.name;
      seeker.namesakes = &group.namesakes.try_emplace(name).first->second;
      if (round == Round::kOwnMonth) {
        seeker.stem = &group.stems.try_emplace(StemOfUpperCased(name)).first->second;
      }
    }
  }
  NoMonthEvidence no_month(photos, round, &arena);
  std::u16string upper_name;
  std::vector<MonthGroup*> here;
  // No round decides while a device may hold a carrier unseen: nothing is listed then.
  Gap household_gap = DeviceGap();
  for (std::size_t d = 0; d < devices_.size() && !household_gap; ++d) {
    HouseholdDevice& device = devices_[d];
    for (std::size_t s = 0; s < device.storages.size() && !device.connection->gone(); ++s) {
      CameraRoll& roll = *device.storages[s];
      const std::u16string& storage = roll.storage().name;
      const auto note_every_group = [&groups](GapCause cause, const std::u16string& subject) {
        for (auto& [month, group] : groups) NoteGap(&group.gap, cause, subject);
      };
      if (roll.MayHideAnyFolder()) note_every_group(GapCause::kFoldersHidden, storage);
      for (const std::u16string& name : roll.NamesOfUnknownKind()) {
        const std::u16string upper = text::UpperCaseWide(name);
        // An object of unknown kind may be a folder of its name: a folder of a group, or
        // one of no month, where any group's photo may lie.
        if (!IsMonthFolderName(upper)) note_every_group(GapCause::kNoMonthFolders, storage);
        for (auto& [month, group] : groups) {
          if (group.folders.Matches(upper)) NoteGap(&group.gap, GapCause::kGroupUnseen);
        }
      }
      // Folders of no month too many to read are a gap already: none of them is read.
      const Gap no_month_unread = NoMonthCountGap(roll);
      if (no_month_unread) note_every_group(no_month_unread.cause, no_month_unread.subject);
      const std::vector<const PhoneObject*>& folders = roll.folders();
      for (std::size_t f = 0; f < folders.size() && !device.connection->gone(); ++f) {
        const PhoneObject& folder = *folders[f];
        if (roll.IsOfNoMonth(folder) || roll.HoldsCameraRollFolders(folder)) {
          if (no_month_unread) continue;
          if (const Gap gap = ReadFilesOfNoMonth(roll, d, device.id, s, f, &no_month)) {
            note_every_group(gap.cause, gap.subject);
          }
          continue;
        }
        const std::u16string folder_name = text::UpperCaseWide(folder.name);
        here.clear();
        for (auto& [month, group] : groups) {
          if (group.folders.Matches(folder_name)) here.push_back(&group);
        }
        if (here.empty()) continue;
        DeleteTrace("delete: looking in %s", text::WideToUtf8(folder.name).c_str());
        const Listing& listing = roll.cache().Lookup(folder.id);
        for (MonthGroup* group : here) {
          if (!listing.complete) NoteGap(&group->gap, GapCause::kGroupUnseen);
        }
        for (std::size_t p = 0; p < listing.objects.size(); ++p) {
          const PhoneObject& object = listing.objects[p];
          if (object.is_folder) continue;
          // An object whose file name could not be read may carry any wanted name.
          if (!NamedByFile(object)) {
            for (MonthGroup* group : here) NoteGap(&group->gap, GapCause::kGroupUnseen);
            continue;
          }
          const std::u16string_view name = UpperCasedName(object.name, &upper_name);
          const std::u16string_view stem =
              round == Round::kOwnMonth ? StemOfUpperCased(name) : std::u16string_view();
          for (MonthGroup* group : here) {
            if (round == Round::kOwnMonth) {
              // A name wanted here has a stem wanted here: most objects go no further.
              const auto names = group->stems.find(stem);
              if (names == group->stems.end()) continue;
              names->second.Meet(name);
            }
            const auto namesakes = group->namesakes.find(name);
            if (namesakes != group->namesakes.end()) {
              namesakes->second.push_back({&object, d, &device.id, &folder.name, {s, f, p}});
            }
          }
        }
      }
    }
    if (!household_gap) household_gap = DeviceGap();
  }
  for (auto& [month, group] : groups) {
    for (const MonthGroup::Seeker& seeker : group.seekers) {
      PhotoEvidence* photo = seeker.photo;
      Conclude(round, household_gap ? household_gap : group.gap, *seeker.namesakes,
               no_month.namesakes, photo);
      if (seeker.stem == nullptr) continue;
      photo->round(round).stem_elsewhere = seeker.stem->OtherThan(photo->wanted.name) ||
                                           StemOfNoMonthElsewhere(no_month, photo->wanted.name);
    }
  }
}

void Household::GatherUniqueRound(const std::vector<PhotoEvidence*>& photos) {
  RoundArena arena(photos.size());
  Namesakes namesakes(&arena);
  namesakes.reserve(photos.size());
  for (const PhotoEvidence* photo : photos) namesakes.try_emplace(photo->wanted.name);
  // The first gap anywhere keeps every name of the round back: nothing more is listed.
  Gap gap = DeviceGap();
  for (std::size_t d = 0; d < devices_.size() && !gap; ++d) {
    HouseholdDevice& device = devices_[d];
    for (std::size_t s = 0; s < device.storages.size() && !gap; ++s) {
      gap = ReadWholeRoll(*device.storages[s], d, device.id, s, &namesakes);
    }
  }
  // A device that went away while listed is the gap that matters, not its listing's.
  if (Gap device_gap = DeviceGap()) gap = device_gap;
  const Namesakes none(&arena);
  for (PhotoEvidence* photo : photos) {
    Conclude(Round::kUnique, gap, namesakes.at(photo->wanted.name), none, photo);
  }
}

}  // namespace camvey::ptp
