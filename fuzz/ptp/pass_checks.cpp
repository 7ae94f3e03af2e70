#include "fuzz/ptp/pass_checks.h"

#include <algorithm>
#include <cstdio>

#include "fuzz/ptp/device_answers.h"
#include "fuzz/ptp/fuzz_check.h"
#include "fuzz/ptp/photo_terms.h"

namespace camvey::fuzz {
namespace {

using Months = std::set<std::u16string>;
using MonthsOfName = std::map<std::u16string, Months>;

MonthsOfName WantedMonths(const PassRecord& pass) {
  MonthsOfName months;
  for (const ptp::WantedFile& file : pass.wanted) {
    if (!file.name.empty()) months[Folded(file.name)].insert(file.month);
  }
  return months;
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

// True when the pass may take the object for one named as `test` asks: by the name it
// reads, or, where it cannot read the file name, by the file name it did not read.
template <typename NameTest>
bool MayBeNamed(const FuzzedObject& object, const KeysAsked& keys, NameTest test) {
  const SeenObject seen = Seen(object, keys);
  return test(seen.name) || (!seen.name_is_file_name && test(object.file_name));
}

}  // namespace

PassChecks::PassChecks(FuzzedPhone* phone, const std::vector<PassRecord>& run)
    : phone_(*phone), run_(run), pass_(run.back()), months_of_name_(WantedMonths(run.back())) {}

void PassChecks::Run() {
  Check(pass_.layer->live_objects() == 0, 6, "every object the layer handed out is released");
  CheckOnePerName();
  CheckRepeatedRequests();
  ForEachSent(pass_, [&](const Connection& connection, const ServedDeletion& deletion,
                         std::size_t i) { CheckSent(connection, deletion.ids[i]); });
  CheckReported();
  CheckCode();
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

std::vector<PassChecks::Place> PassChecks::PlacesOf(const PassRecord& pass,
                                                    const std::u16string& device_id,
                                                    const std::u16string& object_id) {
  std::vector<Place> places;
  for (const std::unique_ptr<Connection>& connection : pass.layer->connections()) {
    if (connection->device_id != device_id) continue;
    const Listed& listed = ListedBy(*connection);
    for (const auto& [storage, folder] : listed.roll) {
      const auto held = listed.children.find(folder);
      if (held != listed.children.end() && held->second.count(object_id) != 0) {
        places.push_back({connection.get(), storage, folder});
      }
    }
  }
  return places;
}

std::set<std::u16string> PassChecks::MonthsTakenFor(const PassRecord& pass,
                                                    const Connection& sender,
                                                    const std::u16string& object_id) {
  const MonthsOfName wanted = WantedMonths(pass);
  const auto months = wanted.find(NameRead(sender, object_id));
  if (months == wanted.end()) return {};
  // A folder of one wanted month may be a neighbour's of another: the object may have
  // been taken for either, as the neighbours' choice where the own month's was held
  // back by an earlier request's unknown outcome.
  Months groups;
  for (const Place& place : PlacesOf(pass, sender.device_id, object_id)) {
    const std::u16string& folder_name = SeenIn(*place.connection, place.folder).name;
    for (const std::u16string& month : months->second) {
      const MonthPrefixes prefixes = PrefixesOf(month);
      if (prefixes.IsOwn(folder_name) || prefixes.IsNeighbour(folder_name)) groups.insert(month);
    }
  }
  return groups.empty() ? months->second : groups;
}

void PassChecks::CheckOnePerName() {
  using Object = std::pair<std::u16string, std::u16string>;  // device id, object id
  std::map<std::u16string, std::set<Object>> sent;
  ForEachSent(
      pass_, [&](const Connection& connection, const ServedDeletion& deletion, std::size_t i) {
        sent[NameRead(connection, deletion.ids[i])].insert({connection.device_id, deletion.ids[i]});
      });
  for (const auto& entry : sent) {
    Check(entry.second.size() <= 1, 8, "at most one object is sent for deletion per wanted name");
  }
  // Over the run, by the one (name, month) each object that left was taken for; an
  // object that may have been taken for several months of a request says nothing.
  std::map<std::pair<std::u16string, std::u16string>, Object> taken;
  for (const PassRecord& pass : run_) {
    ForEachSent(
        pass, [&](const Connection& connection, const ServedDeletion& deletion, std::size_t i) {
          if (!deletion.left[i]) return;
          const Months months = MonthsTakenFor(pass, connection, deletion.ids[i]);
          if (months.size() != 1) return;
          const Object object = {connection.device_id, deletion.ids[i]};
          const auto [entry, fresh] = taken.emplace(
              std::make_pair(NameRead(connection, deletion.ids[i]), *months.begin()), object);
          Check(fresh || entry->second == object, 8,
                "over a run, at most one object that left its device is taken for a wanted name "
                "and month");
        });
  }
}

void PassChecks::CheckRepeatedRequests() {
  std::set<std::u16string> reported;
  for (const std::u16string& name : pass_.reported) reported.insert(Folded(name));
  std::set<std::u16string> sent;
  ForEachSent(pass_, [&](const Connection& connection, const ServedDeletion& deletion,
                         std::size_t i) { sent.insert(NameRead(connection, deletion.ids[i])); });
  for (const auto& [name, months] : months_of_name_) {
    // A name wanted under one month in both requests: the earlier report was for it.
    if (months.size() != 1) continue;
    const bool deleted_before = std::any_of(
        run_.begin(), run_.end() - 1,
        [&, &name = name, &months = months](const PassRecord& earlier) {
          const MonthsOfName wanted = WantedMonths(earlier);
          const auto found = wanted.find(name);
          return found != wanted.end() && found->second == months &&
                 std::any_of(
                     earlier.reported.begin(), earlier.reported.end(),
                     [&](const std::u16string& spelled) { return Folded(spelled) == name; });
        });
    if (!deleted_before) continue;
    Check(reported.count(name) != 0, 12,
          "a name and month an earlier pass reported deleted is reported deleted again");
    Check(sent.count(name) == 0, 12,
          "nothing is sent for deletion for a name and month an earlier pass reported deleted");
  }
}

void PassChecks::CheckSent(const Connection& sender, const std::u16string& object_id) {
  const SeenObject& seen = SeenIn(sender, object_id);
  Check(seen.kind_known && !seen.is_folder, 1,
        "an object sent for deletion is known not to be a folder");
  const std::u16string name = Folded(seen.name);
  const auto wanted = months_of_name_.find(name);
  Check(wanted != months_of_name_.end(), 1, "an object sent for deletion carries a requested name");
  const std::vector<Place> places = PlacesOf(pass_, sender.device_id, object_id);
  Check(!places.empty(), 1,
        "an object sent for deletion was listed directly in a camera-roll folder of a storage");
  // Past an ignored check 1 nothing more can be said of the object.
  if (wanted == months_of_name_.end() || places.empty()) return;

  // A place in an own month's folder was decided by that month's group. One in a
  // neighbour's folder by the neighbours' group, or, where the pass held the neighbours
  // back, by the object's unique name; one in no month folder only by its unique name.
  std::vector<Fault> faults;
  for (const Place& place : places) {
    const std::u16string& folder_name = SeenIn(*place.connection, place.folder).name;
    bool own_month = false;
    for (const std::u16string& month : wanted->second) {
      const MonthPrefixes prefixes = PrefixesOf(month);
      const bool own = prefixes.IsOwn(folder_name);
      if (!own && !prefixes.IsNeighbour(folder_name)) continue;
      own_month = own_month || own;
      const Fault fault = MonthGroupFault(place, object_id, name, month, own);
      if (fault.check == 0) return;
      faults.push_back(fault);
    }
    if (own_month) continue;
    const Fault fault = UniqueNameFault(place, object_id, name);
    if (fault.check == 0) return;
    faults.push_back(fault);
  }
  // A place that fails only an ignored check lets the pass take the object.
  if (faults.empty() || std::any_of(faults.begin(), faults.end(),
                                    [](const Fault& fault) { return Ignored(fault.check); })) {
    return;
  }
  // Each place failed on its own count; the first is the finding, the others help read it.
  for (std::size_t i = 1; i < faults.size(); ++i) {
    std::fprintf(stderr, "also, at another place: check %d: %s\n", faults[i].check, faults[i].what);
  }
  Check(false, faults.front().check, faults.front().what);
}

PassChecks::Fault PassChecks::MonthGroupFault(const Place& place, const std::u16string& object_id,
                                              const std::u16string& name,
                                              const std::u16string& month, bool own) {
  const Connection& connection = *place.connection;
  const MonthPrefixes prefixes = PrefixesOf(month);
  if (!SeenIn(connection, object_id).name_is_file_name) {
    return {9, "an object is taken in a month group only by its file name"};
  }
  for (const auto& [storage, folder] : ListedBy(connection).roll) {
    const std::u16string& folder_name = SeenIn(connection, folder).name;
    if (storage != place.storage ||
        !(own ? prefixes.IsOwn(folder_name) : prefixes.IsNeighbour(folder_name))) {
      continue;
    }
    for (const FuzzedObject* photo : HeldPhotos(connection, folder, object_id)) {
      if (Folded(Seen(*photo, connection.keys).name) == name) {
        return {9, "an object taken in a month group is the only carrier of its name there"};
      }
    }
  }
  if (own) return {};
  const std::u16string stem = StemOf(name);
  for (const std::u16string& folder : HeldRoll(connection, place.storage)) {
    const FuzzedObject& held = phone_.Object(*connection.device, folder);
    if (!MayBeNamed(held, connection.keys, [&](const std::u16string& folder_name) {
          return prefixes.IsOwn(folder_name);
        })) {
      continue;
    }
    for (const FuzzedObject* photo : HeldPhotos(connection, folder, object_id)) {
      if (Folded(photo->file_name) == name || (!stem.empty() && StemOf(photo->file_name) == stem)) {
        return {3,
                "an object is taken from a neighbouring month's folder only when no own-month "
                "folder of its storage holds its name or its stem, seen or not"};
      }
    }
  }
  if (ListedMonthFoldersHold(name, {month}, false)) {
    return {3,
            "an object is taken from a neighbouring month's folder only when no own-month folder "
            "the pass listed held a carrier of its name or its stem"};
  }
  return {};
}

PassChecks::Fault PassChecks::UniqueNameFault(const Place& place, const std::u16string& object_id,
                                              const std::u16string& name) {
  const Connection& connection = *place.connection;
  if (StorageHasGap(connection, place.storage)) {
    return {2, "an object is taken by its unique name only from a storage the pass saw whole"};
  }
  for (const std::u16string& folder : HeldRoll(connection, place.storage)) {
    for (const FuzzedObject* photo : HeldPhotos(connection, folder, object_id)) {
      if (Folded(photo->file_name) == name) {
        return {2,
                "an object is taken by its unique name only when no other photo of its "
                "storage's camera roll has that file name"};
      }
    }
  }
  if (ListedMonthFoldersHold(name, months_of_name_.at(name), true)) {
    return {10,
            "an object is taken by its unique name only when no month folder of its name the "
            "pass listed held a carrier of it, nor an own-month folder its stem"};
  }
  for (auto earlier = run_.begin(); earlier + 1 != run_.end(); ++earlier) {
    bool sent_before = false;
    ForEachSent(*earlier,
                [&](const Connection& sender, const ServedDeletion& deletion, std::size_t i) {
                  sent_before = sent_before || NameRead(sender, deletion.ids[i]) == name;
                });
    if (sent_before) {
      return {11,
              "an object is taken by its unique name only when no earlier pass sent its name for "
              "deletion"};
    }
  }
  return {};
}

bool PassChecks::ListedMonthFoldersHold(const std::u16string& name, const Months& months,
                                        bool neighbours) {
  const std::u16string stem = StemOf(name);
  for (const std::unique_ptr<Connection>& connection : pass_.layer->connections()) {
    const Listed& listed = ListedBy(*connection);
    for (const auto& [storage, folder] : listed.roll) {
      const std::u16string& folder_name = SeenIn(*connection, folder).name;
      const auto held = listed.children.find(folder);
      if (held == listed.children.end()) continue;
      for (const std::u16string& month : months) {
        const MonthPrefixes prefixes = PrefixesOf(month);
        const bool own = prefixes.IsOwn(folder_name);
        if (!own && !(neighbours && prefixes.IsNeighbour(folder_name))) continue;
        for (const std::u16string& id : held->second) {
          if (SeenAsFolder(*connection, id)) continue;
          const SeenObject& seen = SeenIn(*connection, id);
          if (Folded(seen.name) == name) return true;
          if (own && seen.name_is_file_name && !stem.empty() && StemOf(seen.name) == stem) {
            return true;
          }
        }
      }
    }
  }
  return false;
}

bool PassChecks::StorageHasGap(const Connection& connection, const std::u16string& storage) {
  FuzzedDevice& device = *connection.device;
  // An object that may be a photo whose file name the pass could not read may carry
  // any name.
  const auto unnamed_photo = [&](const std::u16string& id) {
    const SeenObject seen = Seen(phone_.Object(device, id), connection.keys);
    return !(seen.kind_known && seen.is_folder) && !seen.name_is_file_name;
  };
  const FuzzedListing& top_level = phone_.Listing(device, storage);
  if (top_level.EndsEarly()) return true;
  for (const std::u16string& top_id : top_level.children) {
    const SeenObject top = Seen(phone_.Object(device, top_id), connection.keys);
    // An object of unknown kind may be a folder holding a namesake.
    if (!top.kind_known) return true;
    if (!top.is_folder) continue;
    const FuzzedListing& listing = phone_.Listing(device, top_id);
    if (listing.EndsEarly()) return true;
    const bool dcim = IsDcimName(top.name);
    for (const std::u16string& child_id : listing.children) {
      const SeenObject child = Seen(phone_.Object(device, child_id), connection.keys);
      if (dcim && !child.kind_known) return true;
      if (!(dcim && child.is_folder)) {
        if (unnamed_photo(child_id)) return true;
        continue;
      }
      const FuzzedListing& inner = phone_.Listing(device, child_id);
      if (inner.EndsEarly()) return true;
      if (std::any_of(inner.children.begin(), inner.children.end(), unnamed_photo)) return true;
    }
  }
  return false;
}

std::vector<std::u16string> PassChecks::HeldRoll(const Connection& connection,
                                                 const std::u16string& storage) {
  FuzzedDevice& device = *connection.device;
  std::vector<std::u16string> roll;
  for (const std::u16string& top_id : phone_.Listing(device, storage).children) {
    const FuzzedObject& top = phone_.Object(device, top_id);
    if (!IsFolderKind(top.kind)) continue;
    roll.push_back(top_id);
    if (!MayBeNamed(top, connection.keys, IsDcimName)) continue;
    for (const std::u16string& inner_id : phone_.Listing(device, top_id).children) {
      if (IsFolderKind(phone_.Object(device, inner_id).kind)) roll.push_back(inner_id);
    }
  }
  return roll;
}

std::vector<const FuzzedObject*> PassChecks::HeldPhotos(const Connection& connection,
                                                        const std::u16string& folder,
                                                        const std::u16string& object_id) {
  FuzzedDevice& device = *connection.device;
  std::vector<const FuzzedObject*> photos;
  for (const std::u16string& id : phone_.Listing(device, folder).children) {
    const FuzzedObject& object = phone_.Object(device, id);
    if (id != object_id && !IsFolderKind(object.kind)) photos.push_back(&object);
  }
  return photos;
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
  // By folded name: the names reported again from an earlier pass.
  std::map<std::u16string, std::size_t> again;
  for (const std::u16string& name : pass_.reported) {
    int& left = deleted[name];
    if (left > 0) {
      --left;
      continue;
    }
    const auto months = months_of_name_.find(Folded(name));
    const bool wanted_again = reported_before.count(name) != 0 && months != months_of_name_.end();
    Check(wanted_again, 4,
          "every reported name was reported deleted by its device, or by an earlier pass");
    if (!wanted_again) continue;
    Check(++again[months->first] <= months->second.size(), 4,
          "a name is reported again at most once per month it is wanted under");
  }
}

void PassChecks::CheckCode() {
  const bool busy_recorded = pass_.error == "device_busy" || pass_.error == "delete_refused";
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
