#include "fuzz/ptp/pass_checks.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

#include "fuzz/ptp/device_answers.h"
#include "fuzz/ptp/fuzz_check.h"
#include "fuzz/ptp/photo_terms.h"

namespace camvey::fuzz {
namespace {

// What a request holds a name under: month, then none, a size, or an unusable size.
using PhotoKey = std::tuple<std::u16string, int, std::uint64_t>;

PhotoKey KeyOf(const Entry& entry) {
  if (entry.size_unusable) return {entry.month, 2, 0};
  if (entry.size.has_value()) return {entry.month, 1, *entry.size};
  return {entry.month, 0, 0};
}

std::vector<Entry> EntriesOf(const PassRecord& pass) {
  std::set<std::pair<std::u16string, std::u16string>> sized;
  for (const ptp::WantedFile& file : pass.wanted) {
    if (file.size.has_value()) sized.emplace(Folded(file.name), file.month);
  }
  std::vector<Entry> entries;
  for (const ptp::WantedFile& file : pass.wanted) {
    if (file.name.empty()) continue;
    if (!file.size.has_value() && !file.size_unusable &&
        sized.count({Folded(file.name), file.month}) != 0) {
      continue;
    }
    entries.push_back(
        {Folded(file.name), file.month, file.size, file.size_unusable, GroupsOf(file.month)});
  }
  return entries;
}

// The distinct photos each folded name is wanted as, `usable_only` or all.
std::map<std::u16string, std::set<PhotoKey>> PhotosByName(const std::vector<Entry>& entries,
                                                          bool usable_only) {
  std::map<std::u16string, std::set<PhotoKey>> photos;
  for (const Entry& entry : entries) {
    if (!usable_only || !entry.size_unusable) photos[entry.name].insert(KeyOf(entry));
  }
  return photos;
}

const SeenObject& SeenIn(const Connection& connection, const std::u16string& object_id) {
  static const SeenObject kUnread;
  const auto found = connection.seen.find(object_id);
  return found == connection.seen.end() ? kUnread : found->second;
}

bool SeenAsFolder(const Connection& connection, const std::u16string& object_id) {
  const SeenObject& seen = SeenIn(connection, object_id);
  return seen.kind_known && seen.is_folder;
}

// The folded name the pass read for an object.
std::u16string NameRead(const Connection& connection, const std::u16string& object_id) {
  return Folded(SeenIn(connection, object_id).name);
}

// Calls `visit(connection, deletion, index)` for each object a pass sent for deletion.
template <typename Visit>
void ForEachSent(const PassRecord& pass, Visit visit) {
  for (const std::unique_ptr<Connection>& connection : pass.layer->connections()) {
    for (const ServedDeletion& deletion : connection->deletions) {
      for (std::size_t i = 0; i < deletion.ids.size(); ++i) visit(*connection, deletion, i);
    }
  }
}

bool Holds(const HeldFolder& folder, const ObjectRef& object) {
  return folder.device_id == object.first &&
         std::any_of(folder.photos.begin(), folder.photos.end(),
                     [&](const auto& photo) { return photo.first == object.second; });
}

// The first listing `connection` served of `parent_id` from index `from` on, or null.
const ServedListing* FirstListing(const Connection& connection, const std::u16string& parent_id,
                                  std::size_t from = 0) {
  for (std::size_t i = from; i < connection.listings.size(); ++i) {
    if (connection.listings[i].parent_id == parent_id) return &connection.listings[i];
  }
  return nullptr;
}

std::size_t After(const Connection& connection, const ServedListing* listing) {
  return static_cast<std::size_t>(listing - connection.listings.data()) + 1;
}

constexpr char kInUnknownDcim[] =
    "a month group is judged with the folders of a top-level DCIM whose kind cannot be read";

}  // namespace

PassChecks::PassChecks(FuzzedPhone* phone, const std::vector<PassRecord>& run)
    : run_(run),
      pass_(run.back()),
      household_(phone, *run.back().layer),
      entries_(EntriesOf(run.back())) {
  for (auto earlier = run_.begin(); earlier + 1 != run_.end(); ++earlier) {
    ForEachSent(*earlier,
                [&](const Connection& connection, const ServedDeletion& deletion, std::size_t i) {
                  memory_[{connection.device_id, deletion.ids[i]}] = {
                      NameRead(connection, deletion.ids[i]), OutcomeOf(deletion, i)};
                });
  }
}

void PassChecks::Run() {
  Check(pass_.layer->live_objects() == 0, 6, "every object the layer handed out is released");
  CheckOncePerPass();
  CheckRepeatedRequests();
  ForEachSent(pass_, [&](const Connection& connection, const ServedDeletion& deletion,
                         std::size_t i) { CheckSent(connection, deletion.ids[i]); });
  CheckReported();
  CheckCode();
  CheckDeviceList();
}

void PassChecks::CheckDeviceList() {
  const DiscoveryRecord& discovery = pass_.layer->discovery();
  bool may_lack = discovery.cut;
  for (const std::u16string& device_id : discovery.device_ids) {
    may_lack =
        may_lack || (discovery.unread.count(device_id) != 0 && !household_.Contains(device_id));
  }
  if (!may_lack) return;
  bool sent = false;
  ForEachSent(pass_,
              [&sent](const Connection&, const ServedDeletion&, std::size_t) { sent = true; });
  Check(!sent, 17, "nothing is sent for deletion while the device list may lack an Apple device");
}

PassChecks::Outcome PassChecks::OutcomeOf(const ServedDeletion& deletion, std::size_t index) {
  if (Failed(deletion.result)) return Outcome::kUnknown;
  const auto status = deletion.statuses_read.find(static_cast<std::uint32_t>(index));
  if (status != deletion.statuses_read.end() && status->second.has_value()) {
    return *status->second < 0 ? Outcome::kRefused : Outcome::kDeleted;
  }
  return deletion.result == ptp::kDeviceOk ? Outcome::kDeleted : Outcome::kUnknown;
}

const PassChecks::Listed& PassChecks::ListedBy(const Connection& connection) {
  const auto [entry, fresh] = listed_.try_emplace(&connection);
  Listed& listed = entry->second;
  if (!fresh) return listed;
  for (const ServedListing& listing : connection.listings) {
    listed.children[listing.parent_id].insert(listing.ids.begin(), listing.ids.end());
  }
  const auto children = [&](const std::u16string& parent_id) {
    const auto found = listed.children.find(parent_id);
    return found == listed.children.end() ? std::set<std::u16string>() : found->second;
  };
  for (const std::u16string& storage : children(ptp::kDeviceObjectId)) {
    for (const std::u16string& top : children(storage)) {
      if (!SeenAsFolder(connection, top)) continue;
      listed.roll.emplace_back(storage, top);
      if (!IsDcimName(SeenIn(connection, top).name)) continue;
      for (const std::u16string& inner : children(top)) {
        if (SeenAsFolder(connection, inner)) listed.roll.emplace_back(storage, inner);
      }
    }
  }
  return listed;
}

bool PassChecks::ListedInRoll(const std::u16string& device_id, const std::u16string& object_id,
                              bool deletable_storage) {
  for (const std::unique_ptr<Connection>& connection : pass_.layer->connections()) {
    if (connection->device_id != device_id) continue;
    const Listed& listed = ListedBy(*connection);
    for (const auto& place : listed.roll) {
      const SeenObject& storage = SeenIn(*connection, place.first);
      const bool may_be_storage = !storage.kind_known || storage.is_folder;
      if (deletable_storage && (storage.access == kReadOnlyWithoutObjectDeletion ||
                                (storage.access_unread && may_be_storage))) {
        continue;
      }
      const auto held = listed.children.find(place.second);
      if (held != listed.children.end() && held->second.count(object_id) != 0) return true;
    }
  }
  return false;
}

bool PassChecks::LiesIn(const ObjectRef& object, const Entry& entry, Round round) const {
  return std::any_of(household_.roll().begin(), household_.roll().end(),
                     [&](const HeldFolder& folder) {
                       return Household::InGroup(folder, entry, round) && Holds(folder, object);
                     });
}

bool PassChecks::LiesInRoll(const ObjectRef& object) const {
  return std::any_of(household_.roll().begin(), household_.roll().end(),
                     [&](const HeldFolder& folder) { return Holds(folder, object); });
}

bool PassChecks::WantedAsSeveralPhotos(const std::u16string& name) const {
  return PhotosByName(entries_, false)[name].size() > 1;
}

void PassChecks::CheckOncePerPass() {
  std::map<ObjectRef, int> sent;
  std::map<std::u16string, std::set<ObjectRef>> by_name;
  std::map<std::u16string, int> requests;
  for (const std::unique_ptr<Connection>& connection : pass_.layer->connections()) {
    requests[connection->device_id] += static_cast<int>(connection->deletions.size());
  }
  ForEachSent(pass_,
              [&](const Connection& connection, const ServedDeletion& deletion, std::size_t i) {
                const ObjectRef object = {connection.device_id, deletion.ids[i]};
                ++sent[object];
                by_name[NameRead(connection, deletion.ids[i])].insert(object);
              });
  for (const auto& entry : sent) {
    Check(entry.second == 1, 8, "no object is sent for deletion twice in a pass");
  }
  for (const auto& entry : requests) {
    Check(entry.second <= 1, 8, "a device is sent at most one deletion request in a pass");
  }
  std::map<std::u16string, std::set<PhotoKey>> photos = PhotosByName(entries_, false);
  for (const auto& [name, objects] : by_name) {
    Check(objects.size() <= photos[name].size(), 8,
          "no more objects of a name are sent for deletion than it is wanted as photos");
  }
}

void PassChecks::CheckRepeatedRequests() {
  std::set<std::u16string> reported;
  for (const std::u16string& name : pass_.reported) reported.insert(Folded(name));
  std::set<std::u16string> sent;
  ForEachSent(pass_, [&](const Connection& connection, const ServedDeletion& deletion,
                         std::size_t i) { sent.insert(NameRead(connection, deletion.ids[i])); });
  // A name wanted as one usable entry in both requests: the earlier report was for it.
  const auto only_entry = [](const std::vector<Entry>& entries, const std::u16string& name) {
    const Entry* only = nullptr;
    for (const Entry& entry : entries) {
      if (entry.name != name || entry.size_unusable) continue;
      if (only != nullptr && KeyOf(*only) != KeyOf(entry)) {
        return static_cast<const Entry*>(nullptr);
      }
      only = &entry;
    }
    return only;
  };
  for (const Entry& entry : entries_) {
    if (only_entry(entries_, entry.name) != &entry) continue;
    const bool deleted_before =
        std::any_of(run_.begin(), run_.end() - 1, [&](const PassRecord& earlier) {
          const std::vector<Entry> earlier_entries = EntriesOf(earlier);
          const Entry* before = only_entry(earlier_entries, entry.name);
          return before != nullptr && KeyOf(*before) == KeyOf(entry) &&
                 std::any_of(
                     earlier.reported.begin(), earlier.reported.end(),
                     [&](const std::u16string& spelled) { return Folded(spelled) == entry.name; });
        });
    if (!deleted_before) continue;
    Check(reported.count(entry.name) != 0, 12,
          "a photo an earlier pass reported deleted is reported deleted again");
    Check(sent.count(entry.name) == 0, 12,
          "nothing is sent for deletion for a photo an earlier pass reported deleted");
  }
}

void PassChecks::CheckSent(const Connection& sender, const std::u16string& object_id) {
  const SeenObject& seen = SeenIn(sender, object_id);
  const std::u16string name = Folded(seen.name);
  const ObjectRef object = {sender.device_id, object_id};
  Faults always;
  if (!household_.Contains(sender.device_id)) {
    always.push_back(
        {1, "an object is sent for deletion only to a device taken for an Apple device"});
  }
  if (!seen.kind_known || seen.is_folder) {
    always.push_back({1, "an object sent for deletion is known not to be a folder"});
  }
  if (!seen.name_is_file_name) {
    always.push_back({1, "an object sent for deletion was read with its file name"});
  }
  if (!ListedInRoll(sender.device_id, object_id, false)) {
    always.push_back(
        {1,
         "an object sent for deletion was listed directly in a camera-roll folder of a storage"});
  } else if (!ListedInRoll(sender.device_id, object_id, true)) {
    always.push_back({16,
                      "an object sent for deletion was listed in the camera roll of a storage "
                      "whose access capability was read, or said to be none, and not as "
                      "read-only without object deletion"});
  }
  if (seen.can_delete.has_value() && !*seen.can_delete) {
    always.push_back(
        {16, "no object whose can-delete flag was read as false is sent for deletion"});
  }
  if (!LiesInRoll(object)) {
    always.push_back({1,
                      "an object sent for deletion lies directly in a camera-roll folder as its "
                      "device holds it"});
  }
  for (const auto& [remembered, memory] : memory_) {
    if (remembered != object && memory.name == name && memory.outcome == Outcome::kUnknown) {
      always.push_back({13,
                        "no object is taken for a name while an earlier pass sent another object "
                        "of that name whose outcome is unknown"});
      break;
    }
  }

  std::vector<Faults> candidates;
  for (const Entry& entry : entries_) {
    if (entry.name != name) continue;
    for (const Round round : {Round::kOwnMonth, Round::kNeighbours, Round::kUnique}) {
      if (round != Round::kUnique && !LiesIn(object, entry, round)) continue;
      candidates.push_back(RoundFaults(object, seen, entry, round));
    }
  }
  if (candidates.empty()) {
    candidates.push_back({{1, "an object sent for deletion carries a wanted name"}});
  }
  const auto ignored = [](const Fault& fault) { return Ignored(fault.check); };
  for (Faults& candidate : candidates) {
    candidate.insert(candidate.begin(), always.begin(), always.end());
    if (std::all_of(candidate.begin(), candidate.end(), ignored)) return;
  }
  // No entry and round may have taken the object. The first broken check of the first
  // is the finding; the others help read it.
  const Fault* finding = &*std::find_if_not(candidates[0].begin(), candidates[0].end(), ignored);
  for (std::size_t c = 0; c < candidates.size(); ++c) {
    for (const Fault& fault : candidates[c]) {
      if (&fault == finding || Ignored(fault.check)) continue;
      std::fprintf(stderr, "also, as entry and round %zu: check %d: %s\n", c + 1, fault.check,
                   fault.what);
    }
  }
  Check(false, finding->check, finding->what);
}

PassChecks::Faults PassChecks::RoundFaults(const ObjectRef& object, const SeenObject& seen,
                                           const Entry& entry, Round round) const {
  Faults faults;
  if (entry.size_unusable) {
    faults.push_back({9, "nothing is taken for an entry whose size is unusable"});
  }
  if (entry.size.has_value() && !(seen.size_known && seen.size == *entry.size)) {
    faults.push_back(
        {9, "an entry with a size takes only an object whose size was read and equals it"});
  }
  if (!entry.size.has_value() && !entry.size_unusable) {
    // Where a device shows the object in several storages, any of them may be the one
    // the pass took it from.
    const auto only_elsewhere = [&](const HeldFolder& folder) {
      if (!Holds(folder, object)) return true;
      const ObjectRef storage = {folder.device_id, folder.storage_id};
      const std::set<ObjectRef>& without = household_.storages_without_deletion();
      return without.size() > without.count(storage);
    };
    if (LiesInRoll(object) &&
        std::all_of(household_.roll().begin(), household_.roll().end(), only_elsewhere)) {
      faults.push_back({18,
                        "nothing is taken for an entry without a size while another storage "
                        "allows no deletion or did not say"});
    }
  }
  if (round != Round::kOwnMonth) {
    if (WantedAsSeveralPhotos(entry.name)) {
      faults.push_back({14, "a name wanted as several photos is taken only from its own month"});
    }
    const std::u16string stem = StemOf(entry.name);
    if (std::any_of(memory_.begin(), memory_.end(), [&](const auto& remembered) {
          return remembered.second.outcome != Outcome::kRefused &&
                 StemOf(remembered.second.name) == stem;
        })) {
      faults.push_back({11,
                        "nothing is taken from the neighbours or by uniqueness for a stem an "
                        "earlier pass deleted or sent with an unknown outcome"});
    }
    if (entry.groups.real) AddGroupFaults(object, entry, Round::kOwnMonth, false, &faults);
  }
  if (round == Round::kUnique && entry.groups.real) {
    AddGroupFaults(object, entry, Round::kNeighbours, false, &faults);
  }
  AddGroupFaults(object, entry, round, true, &faults);
  return faults;
}

void PassChecks::AddGroupFaults(const ObjectRef& object, const Entry& entry, Round round,
                                bool deciding, Faults* faults) const {
  const GroupEvidence plain = household_.Evidence(entry, round, false);
  const GroupEvidence whole =
      round == Round::kUnique ? plain : household_.Evidence(entry, round, true);
  // In the deciding group the object itself is no obstacle; in an earlier one it is.
  const auto others = [&](const std::set<ObjectRef>& objects) {
    return objects.size() > (deciding ? objects.count(object) : 0);
  };
  const auto add = [&](bool in_plain, bool in_whole, const Fault& fault) {
    if (in_plain) {
      faults->push_back(fault);
    } else if (in_whole) {
      faults->push_back({15, kInUnknownDcim});
    }
  };
  add(plain.unreadable, whole.unreadable,
      {10, deciding ? "nothing is taken from a group that may hide a carrier it cannot read"
                    : "nothing is taken after a round whose group may hide a carrier it cannot "
                      "read"});
  add(others(plain.size_unknown), others(whole.size_unknown),
      {9, deciding ? "nothing is taken from a group holding another namesake of unknown size"
                   : "nothing is taken after a round whose group holds a namesake of unknown "
                     "size"});
  if (deciding) {
    const auto with_no_month = [&](const GroupEvidence& group) {
      return others(group.carriers) || !group.of_no_month.empty();
    };
    add(with_no_month(plain), with_no_month(whole),
        {2,
         "an object taken in a round is the only carrier of its entry in the household's "
         "group"});
    return;
  }
  add(others(plain.carriers), others(whole.carriers),
      {3, "nothing is taken after a round whose group holds a carrier"});
  if (round == Round::kOwnMonth) {
    add(plain.other_stem, whole.other_stem,
        {3,
         "nothing is taken after the own month while it holds the entry's stem under another "
         "extension"});
  }
}

void PassChecks::CheckReported() {
  // By the name the device held: what it reported deleted in this pass.
  std::map<std::u16string, int> deleted;
  ForEachSent(pass_,
              [&](const Connection& connection, const ServedDeletion& deletion, std::size_t i) {
                if (Failed(deletion.result)) return;
                const auto status = deletion.statuses_read.find(static_cast<std::uint32_t>(i));
                const bool status_deleted = status != deletion.statuses_read.end() &&
                                            (!status->second.has_value() || *status->second >= 0);
                if (status_deleted || deletion.result == ptp::kDeviceOk) {
                  ++deleted[SeenIn(connection, deletion.ids[i]).name];
                }
              });
  std::set<std::u16string> reported_before;
  for (auto earlier = run_.begin(); earlier + 1 != run_.end(); ++earlier) {
    reported_before.insert(earlier->reported.begin(), earlier->reported.end());
  }
  std::map<std::u16string, std::set<PhotoKey>> photos = PhotosByName(entries_, true);
  // By folded name: the names reported again from an earlier pass.
  std::map<std::u16string, std::size_t> again;
  for (const std::u16string& name : pass_.reported) {
    int& left = deleted[name];
    if (left > 0) {
      --left;
      continue;
    }
    const std::u16string folded = Folded(name);
    const bool wanted_again = reported_before.count(name) != 0 && !photos[folded].empty();
    Check(wanted_again, 4,
          "every reported name was reported deleted by its device, or by an earlier pass");
    if (!wanted_again) continue;
    Check(++again[folded] <= photos[folded].size(), 4,
          "a name is reported again at most once per photo it is wanted as");
  }
}

void PassChecks::CheckCode() {
  const bool busy_recorded = pass_.error == "device_busy" || pass_.error == "delete_refused";
  for (const std::u16string& device_id : pass_.layer->open_failures()) {
    Check(!household_.Contains(device_id) || busy_recorded, 7,
          "an Apple device that could not be opened leaves \"device_busy\"");
  }
  for (const std::unique_ptr<Connection>& connection : pass_.layer->connections()) {
    Check(!connection->gone || busy_recorded, 7, "a device that went away leaves \"device_busy\"");
    const ServedListing* root = FirstListing(*connection, ptp::kDeviceObjectId);
    if (connection->gone || root == nullptr || !root->ended_normally) continue;
    // What a locked phone shows: storages that hold nothing, or only empty DCIM folders.
    const auto empty_dcim = [&](const std::u16string& top, std::size_t from) {
      const ServedListing* dcim = FirstListing(*connection, top, from);
      return SeenAsFolder(*connection, top) && IsDcimName(SeenIn(*connection, top).name) &&
             dcim != nullptr && dcim->ended_normally && dcim->ids.empty();
    };
    const bool locked =
        std::all_of(root->ids.begin(), root->ids.end(), [&](const std::u16string& storage) {
          const ServedListing* top_level =
              FirstListing(*connection, storage, After(*connection, root));
          return top_level != nullptr && top_level->ended_normally &&
                 std::all_of(top_level->ids.begin(), top_level->ids.end(),
                             [&](const std::u16string& top) {
                               return empty_dcim(top, After(*connection, top_level));
                             });
        });
    Check(!locked || busy_recorded, 7,
          "a device that shows no storage, or only storages holding nothing or empty DCIM "
          "folders, leaves \"device_busy\"");
  }
}

}  // namespace camvey::fuzz
