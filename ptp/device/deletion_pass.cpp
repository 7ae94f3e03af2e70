#include "ptp/device/deletion_pass.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "ptp/device/delete_trace.h"
#include "ptp/device/discovery.h"
#include "ptp/device/listing_cache.h"
#include "ptp/device/month_folder.h"
#include "ptp/wide_text.h"

namespace camvey::ptp {
namespace {

// Month string (possibly empty) to the names wanted under it.
using MonthIndex = std::map<std::u16string, NameSet>;

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

unsigned long long MillisecondsNow() {
  return static_cast<unsigned long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::steady_clock::now().time_since_epoch())
                                             .count());
}

// The two groups of the month-folder search, searched one after the other.
enum class MonthGroup {
  kOwnMonth,         // folders of the name's own month
  kNeighbourMonths,  // folders of the month before or after it, not of the month itself
};

// The names wanted in a top-level folder within one group: those of every month it
// belongs to in that group. The neighbouring months' folders are searched only for the
// names still missing after the own month's folders.
NameSet NamesWantedIn(const PhoneObject& folder, const MonthIndex& month_index, MonthGroup group,
                      const NameSet& remaining) {
  NameSet wanted_here;
  for (const auto& [month, names] : month_index) {
    if (month.empty()) continue;
    const bool own_month = IsOwnMonthFolder(folder.name, month);
    if (group == MonthGroup::kOwnMonth) {
      if (own_month) wanted_here.insert(names.begin(), names.end());
    } else if (!own_month && IsMonthFolder(folder.name, month)) {
      for (const std::u16string& name : names) {
        if (remaining.count(name) != 0) wanted_here.insert(name);
      }
    }
  }
  return wanted_here;
}

// True when the object's file name is known. A name that stands in for it (the object
// name, "Holiday") is no evidence of what the file is called.
bool NamedByFile(const PhoneObject& object) {
  return object.name_is_file_name && !object.name.empty();
}

// True when every object the listing holds was listed and every photo's file name read.
bool SeenWhole(const Listing& listing) {
  if (!listing.complete) return false;
  return std::none_of(
      listing.objects.begin(), listing.objects.end(),
      [](const PhoneObject& object) { return !object.is_folder && !NamedByFile(object); });
}

// Adds to `months` each wanted month of which `folder_name` is an own-month folder.
void AddOwnMonths(const std::u16string& folder_name, const MonthIndex& month_index,
                  std::set<std::u16string>* months) {
  for (const auto& entry : month_index) {
    if (!entry.first.empty() && IsOwnMonthFolder(folder_name, entry.first)) {
      months->insert(entry.first);
    }
  }
}

// Looks for each name first in the folders of its own month and only then in those of
// the neighbouring months, so that a same-named photo of a neighbour listed first never
// takes the place of the copy in the name's own month. Within a group the first object
// met wins. Listings come from the cache, so a folder of both groups is listed once.
// A month whose own folders were not seen whole may hide that copy: its names are not
// looked for in the neighbours' folders and stay wanted.
void SearchMonthFolders(const PhoneObject& storage, const Listing& top_level, ListingCache& cache,
                        const MonthIndex& month_index, NameSet* remaining,
                        std::vector<ChosenObject>* chosen) {
  // A top-level object whose file name cannot be read may be any month's folder.
  bool all_months_unseen = !top_level.complete;
  std::set<std::u16string> unseen_months;
  for (const PhoneObject& top : top_level.objects) {
    if (!NamedByFile(top)) {
      all_months_unseen = all_months_unseen || top.is_folder || !top.kind_known;
    } else if (!top.kind_known) {
      AddOwnMonths(top.name, month_index, &unseen_months);
    }
  }

  for (const PhoneObject& folder : top_level.objects) {
    if (remaining->empty()) return;
    if (!folder.is_folder) continue;
    const NameSet wanted_here =
        NamesWantedIn(folder, month_index, MonthGroup::kOwnMonth, *remaining);
    if (wanted_here.empty()) continue;
    DeleteTrace("delete: looking in %s", WideToUtf8(folder.name).c_str());
    const Listing& listing = cache.Lookup(folder.id);
    if (!SeenWhole(listing)) AddOwnMonths(folder.name, month_index, &unseen_months);
    MatchFolderListing(listing, wanted_here, remaining, chosen);
  }
  if (remaining->empty()) return;

  if (all_months_unseen) {
    DeleteTrace(
        "delete: the folders of \"%s\" were not all seen, neighbouring months are left alone",
        WideToUtf8(storage.name).c_str());
    return;
  }
  NameSet neighbour_wanted = *remaining;
  for (const std::u16string& month : unseen_months) {
    DeleteTrace("delete: the folders of %s were not seen whole, its neighbours are left alone",
                WideToUtf8(month).c_str());
    for (const std::u16string& name : month_index.at(month)) neighbour_wanted.erase(name);
  }
  for (const PhoneObject& folder : top_level.objects) {
    if (remaining->empty()) return;
    if (!folder.is_folder) continue;
    const NameSet wanted_here =
        NamesWantedIn(folder, month_index, MonthGroup::kNeighbourMonths, neighbour_wanted);
    if (wanted_here.empty()) continue;
    DeleteTrace("delete: looking in %s", WideToUtf8(folder.name).c_str());
    MatchFolderListing(cache.Lookup(folder.id), wanted_here, remaining, chosen);
  }
}

// What keeps the unique-name search of a storage from deciding: the pass knows that it
// has not seen everything the storage's top-level folders hold, so a name seen once may
// have an unseen namesake that was never copied.
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

// Upper-cased name to the objects that carry it.
using CandidateMap = std::map<std::u16string, std::vector<const PhoneObject*>>;

// Collects, for each name still remaining, the objects that carry it among the
// top-level folders of the storage, until the first gap.
Gap CollectCandidates(const Listing& top_level, ListingCache& cache, const NameSet& remaining,
                      CandidateMap* candidates) {
  if (!top_level.complete) return Gap::kListingEndedEarly;
  for (const PhoneObject& top : top_level.objects) {
    // An object of unknown kind may be a folder holding a namesake.
    if (!top.kind_known) return Gap::kUnreadableObject;
    if (!top.is_folder) continue;
    // Tested before each folder, so the folder that crosses the mark is listed whole.
    if (cache.listed_count() > kUniqueSearchListingLimit) return Gap::kListingLimit;
    const Listing& listing = cache.Lookup(top.id);
    if (!listing.complete) return Gap::kListingEndedEarly;
    for (const PhoneObject& object : listing.objects) {
      if (object.is_folder) continue;
      // An object without a file name may be a namesake of any wanted name, whatever
      // its object name says. One whose name is known but whose kind is not counts as
      // a candidate, which can only hold the search back.
      if (!NamedByFile(object)) return Gap::kUnreadableObject;
      if (remaining.count(FoldedName{object.name}) != 0) {
        (*candidates)[UpperCaseWide(object.name)].push_back(&object);
      }
    }
  }
  return Gap::kNone;
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

// Chooses, for each name still remaining, the one object that carries it among the
// top-level folders of the storage. A name carried by several objects is left alone,
// and so is every name when the pass has not seen all those folders hold: such names
// stay wanted for a later storage or device.
void ChooseUniqueNames(const PhoneObject& storage, const Listing& top_level, ListingCache& cache,
                       NameSet* remaining, std::vector<ChosenObject>* chosen) {
  CandidateMap candidates;
  const Gap gap = CollectCandidates(top_level, cache, *remaining, &candidates);
  if (gap != Gap::kNone) {
    TraceGap(gap, storage);
    return;
  }
  for (const auto& [name, objects] : candidates) {
    if (objects.size() == 1 && !objects.front()->kind_known) {
      TraceKindUnknown(*objects.front());
    } else if (objects.size() == 1) {
      remaining->erase(name);
      chosen->push_back({objects.front()->id, objects.front()->name});
    } else {
      DeleteTrace("delete: %s is on the phone %d times, left alone", WideToUtf8(name).c_str(),
                  static_cast<int>(objects.size()));
    }
  }
}

// Searches one storage; false when its top-level listing holds nothing at all.
bool SearchStorage(const PhoneConnection& connection, KeyCollection& keys,
                   const PhoneObject& storage, const MonthIndex& month_index, NameSet* remaining,
                   std::vector<ChosenObject>* chosen) {
  const unsigned long long started = MillisecondsNow();
  const Listing top_level =
      ListChildren(connection.content(), connection.properties(), keys, storage.id, 0);
  const unsigned long long finished = MillisecondsNow();
  DeleteTrace("delete: \"%s\" holds %d folder(s), listed in %llu ms",
              WideToUtf8(storage.name).c_str(), static_cast<int>(top_level.objects.size()),
              finished - started);
  const bool holds_anything = !top_level.objects.empty();
  if (connection.gone()) return holds_anything;

  ListingCache cache(connection.content(), connection.properties(), keys);
  SearchMonthFolders(storage, top_level, cache, month_index, remaining, chosen);
  if (remaining->empty() || connection.gone()) return holds_anything;
  ChooseUniqueNames(storage, top_level, cache, remaining, chosen);
  return holds_anything;
}

// Sends one deletion request for everything chosen on a device and appends the names
// of the objects the device deleted. Ids and names stay paired: an object whose id
// could not be added to the request is neither sent nor reported.
void SendDeletionRequest(DeviceLayer& layer, DeviceContent& content,
                         const std::vector<ChosenObject>& chosen,
                         std::vector<std::u16string>* deleted, std::string* error) {
  std::unique_ptr<IdCollection> ids;
  if (DeviceFailed(layer.CreateIdCollection(&ids)) || ids == nullptr) return;
  std::vector<const ChosenObject*> sent;
  for (const ChosenObject& object : chosen) {
    if (!DeviceFailed(ids->Add(object.id))) sent.push_back(&object);
  }
  if (sent.empty()) return;

  std::unique_ptr<DeleteResults> results;
  const DeviceResult outcome = content.Delete(*ids, &results);
  if (DeviceFailed(outcome)) {
    // A device that went away refused nothing; the caller records that it is gone.
    if (!DeviceGone(outcome)) RecordError(error, kErrorDeleteRefused);
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
      DeleteTrace("delete: %s refused with 0x%08lX", WideToUtf8(sent[i]->name).c_str(),
                  static_cast<unsigned long>(static_cast<std::uint32_t>(*error_code)));
      RecordError(error, kErrorDeleteRefused);
    } else if (error_code.has_value() || outcome == kDeviceOk) {
      deleted->push_back(sent[i]->name);
    } else {
      // The device said some objects were refused without saying which: a name
      // without its status, or whose status is not an error value, is not reported
      // as deleted.
      status_missing = true;
    }
  }
  if (status_missing) RecordError(error, kErrorDeleteRefused);
}

// Searches every storage of one open device and sends one deletion request for what
// was chosen there. A device that went away in the middle is asked nothing more: what
// was chosen on it is not sent. A device that shows nothing at all, as a locked phone
// or one that does not yet trust this computer does, gets "device_busy", so that the
// application can ask for the phone to be unlocked instead of hearing that the photos
// are not there.
void SearchDevice(DeviceLayer& layer, const PhoneConnection& connection, KeyCollection& keys,
                  const std::u16string& device_id, const MonthIndex& month_index,
                  NameSet* remaining, std::vector<std::u16string>* deleted, std::string* error) {
  std::vector<ChosenObject> chosen;
  const Listing storages = ListChildren(connection.content(), connection.properties(), keys,
                                        kDeviceObjectId, kStorageLimit);
  bool shows_anything = false;
  for (const PhoneObject& storage : storages.objects) {
    if (remaining->empty() || connection.gone()) break;
    shows_anything =
        SearchStorage(connection, keys, storage, month_index, remaining, &chosen) || shows_anything;
  }
  if (connection.gone()) return;
  if (!shows_anything) {
    DeleteTrace("delete: %s shows nothing, it may be locked", WideToUtf8(device_id).c_str());
    RecordError(error, kErrorDeviceBusy);
    return;
  }
  if (!chosen.empty()) SendDeletionRequest(layer, connection.content(), chosen, deleted, error);
}

}  // namespace

bool NameOrder::operator()(const FoldedName& lhs, const std::u16string& rhs) const {
  return CompareFolded(lhs.text, rhs) < 0;
}

bool NameOrder::operator()(const std::u16string& lhs, const FoldedName& rhs) const {
  return CompareFolded(rhs.text, lhs) > 0;
}

void MatchFolderListing(const Listing& listing, const NameSet& wanted_here, NameSet* remaining,
                        std::vector<ChosenObject>* chosen) {
  for (const PhoneObject& object : listing.objects) {
    if (remaining->empty()) return;
    if (object.is_folder) continue;
    if (wanted_here.count(FoldedName{object.name}) == 0) continue;
    const auto still_wanted = remaining->find(FoldedName{object.name});
    if (still_wanted == remaining->end()) continue;
    // The first object met decides the name, also when its kind could not be read: a
    // later namesake may be another photo than the copy that was made.
    remaining->erase(still_wanted);
    if (!object.kind_known) {
      TraceKindUnknown(object);
      continue;
    }
    chosen->push_back({object.id, object.name});
  }
}

std::vector<std::u16string> DeleteWantedFiles(DeviceLayer& layer,
                                              const std::vector<WantedFile>& wanted,
                                              std::string* error) {
  std::vector<std::u16string> deleted;
  DeleteWantedFiles(layer, wanted, &deleted, error);
  return deleted;
}

void DeleteWantedFiles(DeviceLayer& layer, const std::vector<WantedFile>& wanted,
                       std::vector<std::u16string>* deleted, std::string* error) {
  MonthIndex month_index;
  NameSet remaining;
  for (const WantedFile& file : wanted) {
    if (file.name.empty()) continue;
    month_index[file.month].insert(file.name);
    remaining.insert(file.name);
  }
  if (remaining.empty()) {
    RecordError(error, kErrorNotFound);
    return;
  }

  std::vector<std::u16string> devices;
  {
    std::unique_ptr<DeviceManager> manager;
    if (DeviceFailed(layer.CreateManager(&manager)) || manager == nullptr) {
      RecordError(error, kErrorWpdUnavailable);
      return;
    }
    devices = ListAppleDevices(*manager);
  }
  if (devices.empty()) {
    RecordError(error, kErrorNoCamera);
    return;
  }
  const std::unique_ptr<KeyCollection> keys = CreateKeySet(layer);
  if (keys == nullptr) {
    RecordError(error, kErrorWpdUnavailable);
    return;
  }

  for (const std::u16string& device_id : devices) {
    if (remaining.empty()) break;
    std::unique_ptr<PortableDevice> device = OpenPhone(layer, device_id);
    if (device == nullptr) {
      RecordError(error, kErrorDeviceBusy);
      continue;
    }
    const PhoneConnection connection(std::move(device));
    if (connection.usable()) {
      SearchDevice(layer, connection, *keys, device_id, month_index, &remaining, deleted, error);
    }
    if (connection.gone()) {
      DeleteTrace("delete: %s stopped answering with 0x%08lX, nothing more is asked of it",
                  WideToUtf8(device_id).c_str(),
                  static_cast<unsigned long>(static_cast<std::uint32_t>(connection.gone_result())));
      RecordError(error, kErrorDeviceBusy);
    }
  }
  if (deleted->empty()) RecordError(error, kErrorNotFound);
}

}  // namespace camvey::ptp
