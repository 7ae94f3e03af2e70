#include "fuzz/ptp/pass_checks.h"

#include <algorithm>

#include "fuzz/ptp/fuzz_check.h"
#include "ptp/device/deletion_pass.h"
#include "ptp/device/month_folder.h"
#include "ptp/wide_text.h"

namespace camvey::fuzz {
namespace {

using ptp::UpperCaseWide;

const SeenObject& SeenIn(const Connection& connection, const std::u16string& object_id) {
  static const SeenObject kUnread;
  const auto found = connection.seen.find(object_id);
  return found == connection.seen.end() ? kUnread : found->second;
}

bool SeenAsFolder(const Connection& connection, const std::u16string& object_id) {
  const SeenObject& seen = SeenIn(connection, object_id);
  return seen.kind_known && seen.is_folder;
}

// The ids `connection` handed out under `parent_id`, in any of its listings of it.
std::set<std::u16string> HandedOut(const Connection& connection, const std::u16string& parent_id) {
  std::set<std::u16string> ids;
  for (const ServedListing& listing : connection.listings) {
    if (listing.parent_id == parent_id) ids.insert(listing.ids.begin(), listing.ids.end());
  }
  return ids;
}

// The first listing `connection` served of `parent_id`, or null.
const ServedListing* FirstListing(const Connection& connection, const std::u16string& parent_id,
                                  std::size_t from = 0) {
  for (std::size_t i = from; i < connection.listings.size(); ++i) {
    if (connection.listings[i].parent_id == parent_id) return &connection.listings[i];
  }
  return nullptr;
}

// A folder name tested against the months a name was wanted under.
bool AnyMonth(const std::set<std::u16string>& months, const std::u16string& folder_name,
              bool (*test)(const std::u16string&, const std::u16string&)) {
  return std::any_of(months.begin(), months.end(), [&](const std::u16string& month) {
    return !month.empty() && test(folder_name, month);
  });
}

}  // namespace

PassChecks::PassChecks(FuzzedPhone* phone, const FuzzedDeviceLayer& layer,
                       const std::vector<ptp::WantedFile>& wanted)
    : phone_(*phone), layer_(layer) {
  for (const ptp::WantedFile& file : wanted) {
    if (!file.name.empty()) months_of_name_[file.name].insert(file.month);
  }
}

void PassChecks::Run(const std::vector<std::u16string>& reported, const std::string& error) {
  Check(layer_.live_objects() == 0, 6, "every object the layer handed out is released");
  for (const std::unique_ptr<Connection>& connection : layer_.connections()) {
    for (const ServedDeletion& deletion : connection->deletions) {
      for (const std::u16string& object_id : deletion.ids) CheckDeletion(*connection, object_id);
    }
  }
  CheckReported(reported);
  CheckCode(error);
}

void PassChecks::CheckDeletion(const Connection& connection, const std::u16string& object_id) {
  const SeenObject& seen = SeenIn(connection, object_id);
  Check(seen.kind_known && !seen.is_folder, 1,
        "an object sent for deletion is known not to be a folder");
  const std::u16string name = UpperCaseWide(seen.name);
  const auto wanted = months_of_name_.find(name);
  Check(wanted != months_of_name_.end(), 1, "an object sent for deletion carries a requested name");
  const std::vector<Place> places = PlacesOf(connection, object_id);
  Check(!places.empty(), 1,
        "an object sent for deletion was listed inside a top-level folder of a storage");

  const std::set<std::u16string>& months = wanted->second;
  bool from_neighbour = false;
  bool unseen_on_storage = false;
  for (const Place& place : places) {
    const std::u16string& folder_name = SeenIn(connection, place.folder).name;
    if (AnyMonth(months, folder_name, ptp::IsOwnMonthFolder)) return;
    if (AnyMonth(months, folder_name, ptp::IsMonthFolder)) {
      from_neighbour = true;
      const bool own_month_holds_name = StorageHoldsNamesake(
          connection, place.storage, name, object_id, [&](const FuzzedObject& folder) {
            return AnyMonth(months, folder.file_name, ptp::IsOwnMonthFolder);
          });
      if (!own_month_holds_name) return;
      continue;
    }
    const bool gap = StorageHasGap(connection, place.storage);
    unseen_on_storage = unseen_on_storage || gap;
    if (!gap && !StorageHoldsNamesake(connection, place.storage, name, object_id,
                                      [](const FuzzedObject&) { return true; })) {
      return;
    }
  }
  Check(!from_neighbour, 3,
        "an object is taken from a neighbouring month's folder only when no folder of its own "
        "month holds its name");
  Check(!unseen_on_storage, 2,
        "an object is taken by its unique name only from a storage whose listings ended "
        "normally and whose objects could be read");
  Check(false, 2,
        "an object is taken by its unique name only when no other object inside the storage's "
        "top-level folders has that name");
}

std::vector<PassChecks::Place> PassChecks::PlacesOf(const Connection& connection,
                                                    const std::u16string& object_id) {
  std::vector<Place> places;
  for (const std::u16string& storage : HandedOut(connection, ptp::kDeviceObjectId)) {
    for (const std::u16string& folder : HandedOut(connection, storage)) {
      if (SeenAsFolder(connection, folder) && HandedOut(connection, folder).count(object_id) != 0) {
        places.push_back({storage, folder});
      }
    }
  }
  return places;
}

bool PassChecks::StorageHasGap(const Connection& connection, const std::u16string& storage) {
  FuzzedDevice& device = *connection.device;
  const FuzzedListing& top_level = phone_.Listing(device, storage);
  if (top_level.EndsEarly()) return true;
  for (const std::u16string& top_id : top_level.children) {
    const SeenObject top = Seen(phone_.Object(device, top_id), connection.keys);
    // An object of unknown kind may be a folder holding a namesake.
    if (!top.kind_known) return true;
    if (!top.is_folder) continue;
    const FuzzedListing& listing = phone_.Listing(device, top_id);
    if (listing.EndsEarly()) return true;
    for (const std::u16string& child_id : listing.children) {
      const SeenObject child = Seen(phone_.Object(device, child_id), connection.keys);
      // An object name says nothing of the file name, which may be anyone's.
      if (!(child.kind_known && child.is_folder) && !child.name_is_file_name) return true;
    }
  }
  return false;
}

template <typename FolderTest>
bool PassChecks::StorageHoldsNamesake(const Connection& connection, const std::u16string& storage,
                                      const std::u16string& name, const std::u16string& object_id,
                                      FolderTest in_folder) {
  FuzzedDevice& device = *connection.device;
  for (const std::u16string& top_id : phone_.Listing(device, storage).children) {
    const FuzzedObject& top = phone_.Object(device, top_id);
    if (!IsFolderKind(top.kind) || !in_folder(top)) continue;
    for (const std::u16string& child_id : phone_.Listing(device, top_id).children) {
      const FuzzedObject& child = phone_.Object(device, child_id);
      if (child_id != object_id && !IsFolderKind(child.kind) &&
          UpperCaseWide(child.file_name) == name) {
        return true;
      }
    }
  }
  return false;
}

void PassChecks::CheckReported(const std::vector<std::u16string>& reported) {
  std::map<std::u16string, int> deleted;
  for (const std::unique_ptr<Connection>& connection : layer_.connections()) {
    for (const ServedDeletion& deletion : connection->deletions) {
      if (ptp::DeviceFailed(deletion.result)) continue;
      for (std::uint32_t i = 0; i < deletion.ids.size(); ++i) {
        const auto status = deletion.statuses_read.find(i);
        const bool status_deleted = status != deletion.statuses_read.end() &&
                                    (!status->second.has_value() || *status->second >= 0);
        if (status_deleted || deletion.result == ptp::kDeviceOk) {
          ++deleted[SeenIn(*connection, deletion.ids[i]).name];
        }
      }
    }
  }
  for (const std::u16string& name : reported) {
    Check(deleted[name]-- > 0, 4, "every reported name was reported deleted by its device");
  }
}

void PassChecks::CheckCode(const std::string& error) {
  const bool busy_recorded = error == ptp::kErrorDeviceBusy || error == ptp::kErrorDeleteRefused;
  for (const std::unique_ptr<Connection>& connection : layer_.connections()) {
    Check(!connection->gone || busy_recorded, 7, "a device that went away leaves \"device_busy\"");
    const ServedListing* root = FirstListing(*connection, ptp::kDeviceObjectId);
    if (connection->gone || root == nullptr || !root->ended_normally) continue;
    const std::size_t after_root = static_cast<std::size_t>(root - connection->listings.data()) + 1;
    const bool locked =
        std::all_of(root->ids.begin(), root->ids.end(), [&](const std::u16string& storage) {
          const ServedListing* top_level = FirstListing(*connection, storage, after_root);
          return top_level != nullptr && top_level->ended_normally && top_level->ids.empty();
        });
    Check(!locked || busy_recorded, 7,
          "a device that shows no storage, or only storages without objects, leaves "
          "\"device_busy\"");
  }
}

}  // namespace camvey::fuzz
