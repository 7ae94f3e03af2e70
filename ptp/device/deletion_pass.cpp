#include "ptp/device/deletion_pass.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "ptp/device/camera_roll.h"
#include "ptp/device/delete_trace.h"
#include "ptp/device/discovery.h"
#include "ptp/device/folder_listing.h"
#include "ptp/device/month_folder.h"
#include "ptp/wide_text.h"

namespace camvey::ptp {
namespace {

// Month string (possibly empty) to the names wanted under it.
using MonthIndex = std::map<std::u16string, NameSet>;
// A wanted (month, name).
using WantedEntry = std::pair<std::u16string, std::u16string>;

// Compares UpperCaseWide(folded) with `plain`, as -1, 0 or 1.
int CompareFolded(const std::u16string& folded, const std::u16string& plain) {
  const std::size_t common = std::min(folded.size(), plain.size());
  for (std::size_t i = 0; i < common; ++i) {
    const char16_t unit = UpperCaseUnit(folded[i]);
    if (unit != plain[i]) return unit < plain[i] ? -1 : 1;
  }
  if (folded.size() == plain.size()) return 0;
  return folded.size() < plain.size() ? -1 : 1;
}

void RecordError(std::string* error, const char* code) {
  if (error->empty()) *error = code;
}

// The upper-cased name up to its last '.', or the whole name. An iPhone numbers every
// file of a photo alike (IMG_0001.HEIC, .JPG, .MOV, .AAE): one stem in one month is
// one photo.
std::u16string Stem(const std::u16string& name) {
  return UpperCaseWide(name.substr(0, std::min(name.rfind(u'.'), name.size())));
}

enum class MonthGroup {
  kOwnMonth,         // folders of the wanted month
  kNeighbourMonths,  // folders of the month before or after it, not of the month itself
};

bool InGroup(const std::u16string& folder_name, const std::u16string& month, MonthGroup group) {
  const bool own = IsOwnMonthFolder(folder_name, month);
  return group == MonthGroup::kOwnMonth ? own : !own && IsMonthFolder(folder_name, month);
}

// An object of a month group that carries a wanted name, and where it lies.
struct Carrier {
  const PhoneObject* object;
  std::size_t folder;    // index among the storage's camera-roll folders
  std::size_t position;  // index in that folder's listing
};

// One object chosen for deletion.
struct ChosenObject {
  std::u16string id;
  std::u16string spelled;              // as the phone spells it
  std::u16string name;                 // the wanted name, upper-cased
  std::vector<std::u16string> months;  // the wanted months it was chosen for
};

// What the unique-name search of a storage cannot decide past: a name seen once there
// may have an unseen namesake that was never copied.
enum class Gap {
  kNone,
  kListingEndedEarly,  // EnumObjects or a Next failed
  kUnreadableObject,   // an object's file name or kind could not be read where it matters
  kListingLimit,       // the listed-object limit stopped the collection
};

// An object of unknown kind may be a folder: it is never chosen.
void TraceKindUnknown(const PhoneObject& object) {
  DeleteTrace("delete: %s could not be told from a folder, left alone",
              WideToUtf8(object.name).c_str());
}

void TraceGap(Gap gap, const PhoneObject& storage) {
  const std::string name = WideToUtf8(storage.name);
  switch (gap) {
    case Gap::kListingEndedEarly:
      DeleteTrace("delete: a listing of \"%s\" ended early, unique names there are left alone",
                  name.c_str());
      break;
    case Gap::kUnreadableObject:
      DeleteTrace(
          "delete: an object of \"%s\" could not be read, unique names there are left alone",
          name.c_str());
      break;
    case Gap::kListingLimit:
      DeleteTrace(
          "delete: more than %d objects listed on \"%s\", unique names there are left alone",
          static_cast<int>(kUniqueSearchListingLimit), name.c_str());
      break;
    case Gap::kNone:
      break;
  }
}

// Upper-cased name to the objects that carry it.
using CandidateMap = std::map<std::u16string, std::vector<const PhoneObject*>>;

// Collects, for each name of `eligible`, the photos that carry it in the storage's
// camera roll, until the first gap.
Gap CollectCandidates(CameraRoll& roll, const NameSet& eligible, CandidateMap* candidates) {
  for (const Listing* parent : roll.parents()) {
    if (!parent->complete) return Gap::kListingEndedEarly;
    for (const PhoneObject& object : parent->objects) {
      // An object of unknown kind may be a folder holding a namesake; a folder whose
      // file name is unknown may be a DCIM whose folders were never looked into.
      if (!object.kind_known) return Gap::kUnreadableObject;
      if (parent == &roll.top_level() && object.is_folder && !NamedByFile(object)) {
        return Gap::kUnreadableObject;
      }
    }
  }
  for (const PhoneObject* folder : roll.folders()) {
    // Tested before each folder, so the folder that crosses the mark is listed whole.
    if (roll.cache().listed_count() > kUniqueSearchListingLimit) return Gap::kListingLimit;
    const Listing& listing = roll.cache().Lookup(folder->id);
    if (!listing.complete) return Gap::kListingEndedEarly;
    for (const PhoneObject& object : listing.objects) {
      if (object.is_folder) continue;
      // An object without a file name may be a namesake of any wanted name, whatever
      // its object name says. One whose name is known but whose kind is not counts as
      // a candidate, which can only hold the search back.
      if (!NamedByFile(object)) return Gap::kUnreadableObject;
      if (eligible.count(FoldedName{object.name}) != 0) {
        (*candidates)[UpperCaseWide(object.name)].push_back(&object);
      }
    }
  }
  return Gap::kNone;
}

// One attached Apple device and what the pass chose on it.
struct DeviceSearch {
  std::u16string id;
  std::unique_ptr<PhoneConnection> connection;  // null when it could not be opened
  std::vector<std::unique_ptr<CameraRoll>> storages;
  std::vector<ChosenObject> chosen;
  bool shows_anything = false;
  bool storages_listed_whole = false;

  bool searchable() const {
    return connection != nullptr && connection->usable() && !connection->gone();
  }
  bool seen() const { return searchable() && shows_anything; }
  bool seen_whole() const { return seen() && storages_listed_whole; }
};

class DeletionPass {
 public:
  DeletionPass(DeviceLayer& layer, DeletionMemory* memory, std::vector<std::u16string>* deleted,
               std::string* error)
      : layer_(layer), memory_(*memory), deleted_(*deleted), error_(error) {}

  void Run(const std::vector<WantedFile>& wanted);

 private:
  bool SomethingWanted() const;
  bool SoughtByUniqueName(const std::u16string& name) const;
  bool MonthOpen(const std::u16string& month, const std::u16string& name) const;

  void AnswerFromMemory();
  void SearchOwnMonths(const std::u16string& device_id);
  void HoldBackUnseenMonths();
  void HoldBackForUnseenDevices();
  void SearchMonthGroup(DeviceSearch& device, CameraRoll& roll, MonthGroup group);
  const PhoneObject* Decide(const DeviceSearch& device, const WantedEntry& entry,
                            const std::vector<Carrier>& carriers, MonthGroup group,
                            bool group_listed_whole);
  void SearchUniqueNames(DeviceSearch& device, CameraRoll& roll);
  void Finish(DeviceSearch& device);
  void SendDeletionRequest(DeviceSearch& device);

  DeviceLayer& layer_;
  DeletionMemory& memory_;
  std::vector<std::u16string>& deleted_;
  std::string* error_;

  MonthIndex month_index_;
  // Upper-cased name to the months it is wanted under.
  std::map<std::u16string, std::set<std::u16string>> months_of_name_;
  // Names still wanted: nothing chosen for them yet.
  NameSet remaining_;
  // (month, name)s a month group has decided: an object was chosen for it, or its own
  // month's folders held it (or its stem) and so no other month group may.
  std::set<WantedEntry> decided_;
  // Names never to be sought by uniqueness: a month group held them on some device, or
  // their own month's folders were not seen whole and may hide the copy.
  NameSet not_by_unique_name_;
  // Names that incomplete evidence kept from being found.
  NameSet kept_back_;
  // Storages whose camera roll may hide folders of any month, by name.
  std::vector<std::u16string> hiding_storages_;
  // Months whose own folders were not all seen whole.
  std::set<std::u16string> unseen_months_;
  // Devices already said to be unseen by HoldBackForUnseenDevices.
  std::set<std::u16string> unseen_devices_;

  std::unique_ptr<KeyCollection> keys_;
  std::vector<DeviceSearch> devices_;
};

bool DeletionPass::MonthOpen(const std::u16string& month, const std::u16string& name) const {
  return !month.empty() && decided_.count({month, name}) == 0;
}

bool DeletionPass::SoughtByUniqueName(const std::u16string& name) const {
  return remaining_.count(name) != 0 && not_by_unique_name_.count(name) == 0 && !memory_.Sent(name);
}

bool DeletionPass::SomethingWanted() const {
  return std::any_of(remaining_.begin(), remaining_.end(), [this](const std::u16string& name) {
    const std::set<std::u16string>& months = months_of_name_.at(name);
    return SoughtByUniqueName(name) ||
           std::any_of(months.begin(), months.end(),
                       [&](const std::u16string& month) { return MonthOpen(month, name); });
  });
}

void DeletionPass::Run(const std::vector<WantedFile>& wanted) {
  for (const WantedFile& file : wanted) {
    if (file.name.empty()) continue;
    month_index_[file.month].insert(file.name);
    months_of_name_[file.name].insert(file.month);
    remaining_.insert(file.name);
  }
  if (remaining_.empty()) {
    RecordError(error_, kErrorNotFound);
    return;
  }
  AnswerFromMemory();
  if (remaining_.empty()) return;

  std::vector<std::u16string> device_ids;
  {
    std::unique_ptr<DeviceManager> manager;
    if (DeviceFailed(layer_.CreateManager(&manager)) || manager == nullptr) {
      RecordError(error_, kErrorWpdUnavailable);
      return;
    }
    device_ids = ListAppleDevices(*manager);
  }
  if (device_ids.empty()) {
    RecordError(error_, kErrorNoCamera);
    return;
  }
  keys_ = CreateKeySet(layer_);
  if (keys_ == nullptr) {
    RecordError(error_, kErrorWpdUnavailable);
    return;
  }

  // Each round over every device before the next, so that the weaker evidence of a
  // later round on one phone never takes the place of stronger evidence on another.
  for (const std::u16string& device_id : device_ids) {
    if (!SomethingWanted()) break;
    SearchOwnMonths(device_id);
  }
  HoldBackForUnseenDevices();
  HoldBackUnseenMonths();
  if (hiding_storages_.empty()) {
    for (DeviceSearch& device : devices_) {
      for (const std::unique_ptr<CameraRoll>& roll : device.storages) {
        if (!SomethingWanted() || !device.searchable()) break;
        SearchMonthGroup(device, *roll, MonthGroup::kNeighbourMonths);
      }
    }
  }
  HoldBackForUnseenDevices();
  for (DeviceSearch& device : devices_) {
    for (const std::unique_ptr<CameraRoll>& roll : device.storages) {
      if (!SomethingWanted() || !device.searchable()) break;
      SearchUniqueNames(device, *roll);
    }
  }
  for (DeviceSearch& device : devices_) Finish(device);

  if (!deleted_.empty()) return;
  const bool held_back =
      std::any_of(kept_back_.begin(), kept_back_.end(),
                  [this](const std::u16string& name) { return remaining_.count(name) != 0; });
  RecordError(error_, held_back ? kErrorDeviceBusy : kErrorNotFound);
}

void DeletionPass::AnswerFromMemory() {
  for (const auto& [month, names] : month_index_) {
    for (const std::u16string& name : names) {
      const SentObject* earlier = memory_.Deleted(name, month);
      if (earlier == nullptr || remaining_.count(name) == 0) continue;
      DeleteTrace("delete: %s was deleted by an earlier request", WideToUtf8(name).c_str());
      remaining_.erase(name);
      deleted_.push_back(earlier->spelled);
    }
  }
}

// Opens one device, lists its storages and searches their own-month folders. The
// device stays open for the later rounds.
void DeletionPass::SearchOwnMonths(const std::u16string& device_id) {
  DeviceSearch& device = devices_.emplace_back();
  device.id = device_id;
  std::unique_ptr<PortableDevice> opened = OpenPhone(layer_, device_id);
  if (opened == nullptr) return;
  device.connection = std::make_unique<PhoneConnection>(std::move(opened));
  if (!device.searchable()) return;

  const PhoneConnection& connection = *device.connection;
  const Listing storages = ListChildren(connection.content(), connection.properties(), *keys_,
                                        kDeviceObjectId, kStorageLimit);
  // A list cut at the limit may hide more storages.
  device.storages_listed_whole = storages.complete && storages.objects.size() < kStorageLimit;
  for (const PhoneObject& storage : storages.objects) {
    if (!SomethingWanted() || connection.gone()) break;
    auto roll = std::make_unique<CameraRoll>(connection, *keys_, storage);
    device.shows_anything = device.shows_anything || roll->shows_anything();
    if (connection.gone()) break;
    if (roll->MayHideAnyFolder()) hiding_storages_.push_back(roll->storage().name);
    // An object of unknown kind named as a folder of a month or of its neighbours may be
    // that folder, holding a namesake the month groups never see.
    for (const std::u16string& name : roll->NamesOfUnknownKind()) {
      for (const auto& entry : month_index_) {
        if (!entry.first.empty() && IsMonthFolder(name, entry.first)) {
          unseen_months_.insert(entry.first);
        }
      }
    }
    SearchMonthGroup(device, *roll, MonthGroup::kOwnMonth);
    device.storages.push_back(std::move(roll));
  }
}

// A phone that went away, could not be opened, shows nothing or did not list all its
// storages may hold the copy in the folders of its month or of its neighbours: a
// weaker match elsewhere is then no proof. Every name not yet found stays wanted and
// is left alone.
void DeletionPass::HoldBackForUnseenDevices() {
  const bool any_seen = std::any_of(devices_.begin(), devices_.end(),
                                    [](const DeviceSearch& device) { return device.seen(); });
  if (!any_seen) return;
  for (const DeviceSearch& device : devices_) {
    if (device.seen_whole() || !unseen_devices_.insert(device.id).second) continue;
    DeleteTrace("delete: %s could not be searched whole, names not yet found are left alone",
                WideToUtf8(device.id).c_str());
  }
  if (unseen_devices_.empty()) return;
  for (const auto& [month, names] : month_index_) {
    for (const std::u16string& name : names) {
      if (remaining_.count(name) == 0) continue;
      kept_back_.insert(name);
      not_by_unique_name_.insert(name);
      decided_.insert({month, name});
    }
  }
}

// A month whose own folders were not seen whole may hide the copy that was made: its
// names are not looked for in the neighbours' folders, nor anywhere by uniqueness, and
// stay wanted.
void DeletionPass::HoldBackUnseenMonths() {
  std::map<std::u16string, std::vector<std::u16string>> open;
  for (const auto& [month, names] : month_index_) {
    for (const std::u16string& name : names) {
      if (remaining_.count(name) != 0 && MonthOpen(month, name)) open[month].push_back(name);
    }
  }
  if (open.empty()) return;
  for (const std::u16string& storage : hiding_storages_) {
    DeleteTrace(
        "delete: the folders of \"%s\" were not all seen, neighbouring months are left alone",
        WideToUtf8(storage).c_str());
  }
  for (const auto& [month, names] : open) {
    const bool unseen = unseen_months_.count(month) != 0;
    if (!unseen && hiding_storages_.empty()) continue;
    if (unseen) {
      DeleteTrace("delete: the folders of %s were not seen whole, its neighbours are left alone",
                  WideToUtf8(month).c_str());
    }
    for (const std::u16string& name : names) {
      kept_back_.insert(name);
      not_by_unique_name_.insert(name);
      decided_.insert({month, name});
    }
  }
}

// Searches the folders of one month group on one storage. Each folder is listed once,
// through the cache, and only when a name is still wanted there; the group decides a
// name only after all its folders were looked into.
void DeletionPass::SearchMonthGroup(DeviceSearch& device, CameraRoll& roll, MonthGroup group) {
  std::map<WantedEntry, std::vector<Carrier>> carriers;
  std::set<std::u16string> months_cut_short;
  std::map<std::u16string, std::set<std::u16string>> stems_by_month;
  const std::vector<const PhoneObject*>& folders = roll.folders();
  for (std::size_t index = 0; index < folders.size(); ++index) {
    const PhoneObject& folder = *folders[index];
    // Names wanted in this folder, each with the months for which it is in the group.
    std::map<std::u16string, std::vector<std::u16string>, NameOrder> wanted_here;
    std::vector<std::u16string> months_here;
    for (const auto& [month, names] : month_index_) {
      if (month.empty() || !InGroup(folder.name, month, group)) continue;
      bool wanted = false;
      for (const std::u16string& name : names) {
        if (remaining_.count(name) == 0 || !MonthOpen(month, name)) continue;
        wanted_here[name].push_back(month);
        wanted = true;
      }
      if (wanted) months_here.push_back(month);
    }
    if (wanted_here.empty()) continue;
    DeleteTrace("delete: looking in %s", WideToUtf8(folder.name).c_str());
    const Listing& listing = roll.cache().Lookup(folder.id);
    if (!listing.complete) months_cut_short.insert(months_here.begin(), months_here.end());
    if (!SeenWhole(listing)) {
      if (group == MonthGroup::kOwnMonth) {
        unseen_months_.insert(months_here.begin(), months_here.end());
      } else {
        // A neighbour's folder not seen whole may hide the copy: a namesake met by its
        // unique name in another storage is then no proof.
        for (const auto& [name, months] : wanted_here) {
          DeleteTrace("delete: a folder beside %s was not seen whole, %s is not sought elsewhere",
                      WideToUtf8(months.front()).c_str(), WideToUtf8(name).c_str());
          kept_back_.insert(name);
          not_by_unique_name_.insert(name);
        }
      }
    }
    for (std::size_t position = 0; position < listing.objects.size(); ++position) {
      const PhoneObject& object = listing.objects[position];
      if (object.is_folder || object.name.empty()) continue;
      if (group == MonthGroup::kOwnMonth) {
        for (const std::u16string& month : months_here)
          stems_by_month[month].insert(Stem(object.name));
      }
      const auto wanted = wanted_here.find(FoldedName{object.name});
      if (wanted == wanted_here.end()) continue;
      for (const std::u16string& month : wanted->second) {
        carriers[{month, wanted->first}].push_back({&object, index, position});
      }
    }
  }

  std::vector<std::pair<Carrier, ChosenObject>> choices;
  for (const auto& [entry, found] : carriers) {
    const auto& [month, name] = entry;
    if (remaining_.count(name) == 0) continue;
    decided_.insert(entry);
    not_by_unique_name_.insert(name);
    const PhoneObject* chosen =
        Decide(device, entry, found, group, months_cut_short.count(month) == 0);
    if (chosen == nullptr) continue;
    remaining_.erase(name);
    choices.push_back({found.front(), {chosen->id, chosen->name, name, {month}}});
  }
  std::sort(choices.begin(), choices.end(), [](const auto& lhs, const auto& rhs) {
    return std::make_pair(lhs.first.folder, lhs.first.position) <
           std::make_pair(rhs.first.folder, rhs.first.position);
  });
  for (auto& choice : choices) device.chosen.push_back(std::move(choice.second));

  // The own month holds the photo under another extension: that object is most likely
  // the copy, and a namesake elsewhere is another photo.
  for (const auto& [month, stems] : stems_by_month) {
    for (const std::u16string& name : month_index_.at(month)) {
      if (remaining_.count(name) == 0 || !MonthOpen(month, name)) continue;
      if (stems.count(Stem(name)) == 0) continue;
      DeleteTrace("delete: %s is in the folders of %s under another extension, left alone",
                  WideToUtf8(name).c_str(), WideToUtf8(month).c_str());
      decided_.insert({month, name});
      not_by_unique_name_.insert(name);
    }
  }
}

// The object a month group chooses for a wanted (month, name), or null.
const PhoneObject* DeletionPass::Decide(const DeviceSearch& device, const WantedEntry& entry,
                                        const std::vector<Carrier>& carriers, MonthGroup group,
                                        bool group_listed_whole) {
  const auto& [month, name] = entry;
  const std::string name_text = WideToUtf8(name);
  const std::string month_text = WideToUtf8(month);
  // A carrier whose kind or file name could not be read may or may not be the photo:
  // the pass cannot tell, and says so rather than "not_found".
  if (std::any_of(carriers.begin(), carriers.end(), [](const Carrier& carrier) {
        return !carrier.object->kind_known || !NamedByFile(*carrier.object);
      })) {
    kept_back_.insert(name);
  }
  if (carriers.size() > 1) {
    DeleteTrace(group == MonthGroup::kOwnMonth
                    ? "delete: %s is in the folders of %s %d times, left alone"
                    : "delete: %s is in the folders beside %s %d times, left alone",
                name_text.c_str(), month_text.c_str(), static_cast<int>(carriers.size()));
    return nullptr;
  }
  const PhoneObject& object = *carriers.front().object;
  if (!object.kind_known) {
    TraceKindUnknown(object);
    return nullptr;
  }
  if (!NamedByFile(object)) {
    DeleteTrace(
        "delete: %s is only the name shown for an object whose file name could not "
        "be read, left alone",
        name_text.c_str());
    return nullptr;
  }
  if (!group_listed_whole) {
    DeleteTrace("delete: a folder of %s was not listed to its end, %s is left alone",
                month_text.c_str(), name_text.c_str());
    kept_back_.insert(name);
    return nullptr;
  }
  const std::vector<const SentObject*> unresolved = memory_.Unresolved(name, month);
  const bool same_as_before =
      std::any_of(unresolved.begin(), unresolved.end(), [&](const SentObject* earlier) {
        return earlier->device_id == device.id && earlier->object_id == object.id;
      });
  if (!unresolved.empty() && !same_as_before) {
    DeleteTrace("delete: %s may have been deleted by an earlier request, left alone",
                name_text.c_str());
    return nullptr;
  }
  return &object;
}

// Chooses, for each name that may be sought by uniqueness, the one photo that carries
// it in the storage's camera roll. A name carried by several photos is left alone, and
// so is every such name when the pass has not seen all those folders hold: such names
// stay wanted for a later storage or device.
void DeletionPass::SearchUniqueNames(DeviceSearch& device, CameraRoll& roll) {
  NameSet eligible;
  for (const std::u16string& name : remaining_) {
    if (SoughtByUniqueName(name)) eligible.insert(name);
  }
  if (eligible.empty()) return;
  CandidateMap candidates;
  const Gap gap = CollectCandidates(roll, eligible, &candidates);
  if (gap != Gap::kNone) {
    TraceGap(gap, roll.storage());
    kept_back_.insert(eligible.begin(), eligible.end());
    return;
  }
  for (const auto& [name, objects] : candidates) {
    if (objects.size() == 1 && !objects.front()->kind_known) {
      TraceKindUnknown(*objects.front());
      kept_back_.insert(name);
    } else if (objects.size() == 1) {
      remaining_.erase(name);
      const std::set<std::u16string>& months = months_of_name_.at(name);
      device.chosen.push_back({objects.front()->id, objects.front()->name, name,
                               std::vector<std::u16string>(months.begin(), months.end())});
    } else {
      DeleteTrace("delete: %s is on the phone %d times, left alone", WideToUtf8(name).c_str(),
                  static_cast<int>(objects.size()));
    }
  }
}

// Sends what was chosen on a device, unless it went away or showed nothing, then
// closes it.
void DeletionPass::Finish(DeviceSearch& device) {
  if (device.connection == nullptr) {
    RecordError(error_, kErrorDeviceBusy);
    return;
  }
  if (device.searchable()) {
    if (!device.shows_anything) {
      // A locked phone, or one that does not yet trust this computer, shows nothing:
      // that is no proof that the photos are not on it.
      DeleteTrace("delete: %s shows nothing, it may be locked", WideToUtf8(device.id).c_str());
      RecordError(error_, kErrorDeviceBusy);
    } else if (!device.chosen.empty()) {
      SendDeletionRequest(device);
    }
  }
  if (device.connection->gone()) {
    DeleteTrace(
        "delete: %s stopped answering with 0x%08lX, nothing more is asked of it",
        WideToUtf8(device.id).c_str(),
        static_cast<unsigned long>(static_cast<std::uint32_t>(device.connection->gone_result())));
    RecordError(error_, kErrorDeviceBusy);
  }
  device.storages.clear();
  device.connection.reset();
}

// One deletion request for everything chosen on a device; appends the names of the
// objects the device deleted and remembers what became of each. Ids and names stay
// paired: an object whose id could not be added to the request is neither sent nor
// reported.
void DeletionPass::SendDeletionRequest(DeviceSearch& device) {
  std::unique_ptr<IdCollection> ids;
  if (DeviceFailed(layer_.CreateIdCollection(&ids)) || ids == nullptr) return;
  std::vector<const ChosenObject*> sent;
  for (const ChosenObject& object : device.chosen) {
    if (!DeviceFailed(ids->Add(object.id))) sent.push_back(&object);
  }
  if (sent.empty()) return;

  const auto remember = [&](const ChosenObject& object, SentOutcome outcome) {
    for (const std::u16string& month : object.months) {
      memory_.Remember(object.name, month, {device.id, object.id, object.spelled, outcome});
    }
  };
  std::unique_ptr<DeleteResults> results;
  const DeviceResult outcome = device.connection->content().Delete(*ids, &results);
  if (DeviceFailed(outcome)) {
    // Some objects may be gone all the same: a later request must not take their
    // namesakes. A device that went away refused nothing; Finish records that it is gone.
    for (const ChosenObject* object : sent) remember(*object, SentOutcome::kUnknown);
    if (!DeviceGone(outcome)) RecordError(error_, kErrorDeleteRefused);
    return;
  }
  std::uint32_t count = 0;
  if (results == nullptr || DeviceFailed(results->GetCount(&count))) count = 0;
  bool status_missing = false;
  for (std::uint32_t i = 0; i < sent.size(); ++i) {
    // Empty unless the device gave this object's status as an error value.
    std::optional<std::int32_t> error_code;
    if (i >= count || DeviceFailed(results->GetAt(i, &error_code))) error_code.reset();
    if (error_code.has_value() && *error_code < 0) {
      DeleteTrace("delete: %s refused with 0x%08lX", WideToUtf8(sent[i]->spelled).c_str(),
                  static_cast<unsigned long>(static_cast<std::uint32_t>(*error_code)));
      RecordError(error_, kErrorDeleteRefused);
      remember(*sent[i], SentOutcome::kRefused);
    } else if (error_code.has_value() || outcome == kDeviceOk) {
      deleted_.push_back(sent[i]->spelled);
      remember(*sent[i], SentOutcome::kDeleted);
    } else {
      // The device said some objects were refused without saying which: a name
      // without its status, or whose status is not an error value, is not reported
      // as deleted.
      status_missing = true;
      remember(*sent[i], SentOutcome::kUnknown);
    }
  }
  if (status_missing) RecordError(error_, kErrorDeleteRefused);
}

}  // namespace

bool NameOrder::operator()(const FoldedName& lhs, const std::u16string& rhs) const {
  return CompareFolded(lhs.text, rhs) < 0;
}

bool NameOrder::operator()(const std::u16string& lhs, const FoldedName& rhs) const {
  return CompareFolded(rhs.text, lhs) > 0;
}

void DeleteWantedFiles(DeviceLayer& layer, const std::vector<WantedFile>& wanted,
                       DeletionMemory* memory, std::vector<std::u16string>* deleted,
                       std::string* error) {
  DeletionPass(layer, memory, deleted, error).Run(wanted);
}

std::vector<std::u16string> DeleteWantedFiles(DeviceLayer& layer,
                                              const std::vector<WantedFile>& wanted,
                                              std::string* error) {
  DeletionMemory memory;
  std::vector<std::u16string> deleted;
  DeleteWantedFiles(layer, wanted, &memory, &deleted, error);
  return deleted;
}

}  // namespace camvey::ptp
