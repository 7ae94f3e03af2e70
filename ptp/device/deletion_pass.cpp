#include "ptp/device/deletion_pass.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "ptp/device/delete_trace.h"
#include "ptp/device/deletion_request.h"
#include "ptp/device/deletion_rules.h"
#include "ptp/device/discovery.h"
#include "ptp/device/folder_listing.h"
#include "ptp/device/household.h"
#include "ptp/device/month_folder.h"
#include "ptp/device/photo_name.h"
#include "text/wide_text.h"

namespace camvey::ptp {
namespace {

constexpr Round kRounds[] = {Round::kOwnMonth, Round::kNeighbours, Round::kUnique};

class DeletionPass {
 public:
  DeletionPass(DeviceLayer& layer, DeletionMemory* memory, std::vector<std::u16string>* deleted,
               std::string* error)
      : layer_(layer), memory_(*memory), deleted_(*deleted), error_(error) {}

  void Run(const std::vector<WantedFile>& wanted);

 private:
  void CollectPhotos(const std::vector<WantedFile>& wanted);
  void JudgeAgain(std::size_t photo);
  void Finish(Household& household);
  std::vector<ChosenObject> Allowed(
      HouseholdDevice& device,
      const std::vector<std::pair<const Verdict*, const PhotoEvidence*>>& taken);
  void TraceWhatThePhoneKeeps(HouseholdDevice& device,
                              const std::vector<const ChosenObject*>& deleted);

  DeviceLayer& layer_;
  DeletionMemory& memory_;
  std::vector<std::u16string>& deleted_;
  std::string* error_;

  // The request's distinct wanted photos, in request order, and their verdicts so far.
  std::vector<PhotoEvidence> photos_;
  std::vector<Verdict> verdicts_;
  GapsSaid gaps_said_;
};

void DeletionPass::Run(const std::vector<WantedFile>& wanted) {
  CollectPhotos(wanted);
  if (photos_.empty()) {
    RecordError(error_, kErrorNotFound);
    return;
  }
  verdicts_.resize(photos_.size());
  // A photo deleted earlier is reported again, once however many entries it answers.
  std::set<std::pair<std::u16string, std::u16string>> answered;
  for (std::size_t i = 0; i < photos_.size(); ++i) {
    JudgeAgain(i);
    if (verdicts_[i].kind != Verdict::Kind::kDeletedEarlier) continue;
    const SentPhoto& earlier = *photos_[i].deleted_earlier;
    if (answered.insert({earlier.device_id, earlier.object_id}).second) {
      deleted_.push_back(earlier.spelled);
    }
  }
  const bool seeking = std::any_of(verdicts_.begin(), verdicts_.end(), [](const Verdict& verdict) {
    return verdict.kind == Verdict::Kind::kSeek;
  });
  if (seeking) {
    AppleDevices devices;
    {
      std::unique_ptr<DeviceManager> manager;
      if (DeviceFailed(layer_.CreateManager(&manager)) || manager == nullptr) {
        RecordError(error_, kErrorWpdUnavailable);
        return;
      }
      devices = FindAppleDevices(*manager);
    }
    if (devices.ids.empty()) {
      RecordError(error_, kErrorNoCamera);
      return;
    }
    const std::unique_ptr<KeyCollection> keys = CreateKeySet(layer_);
    if (keys == nullptr) {
      RecordError(error_, kErrorWpdUnavailable);
      return;
    }
    Household household(layer_, *keys, devices);
    const std::vector<StorageWithoutDeletion> without_deletion =
        household.StoragesWithoutDeletion();
    for (PhotoEvidence& photo : photos_) {
      if (!photo.wanted.size.has_value()) photo.storages_without_deletion = without_deletion;
    }
    // Gathering changes no verdict: the photos judged again are those that sought.
    std::vector<std::size_t> sought;
    std::vector<PhotoEvidence*> seekers;
    sought.reserve(photos_.size());
    seekers.reserve(photos_.size());
    for (const Round round : kRounds) {
      sought.clear();
      seekers.clear();
      for (std::size_t i = 0; i < verdicts_.size(); ++i) {
        if (verdicts_[i].kind == Verdict::Kind::kSeek && verdicts_[i].round == round) {
          sought.push_back(i);
          seekers.push_back(&photos_[i]);
        }
      }
      if (sought.empty()) continue;
      household.Gather(round, seekers);
      for (const std::size_t i : sought) JudgeAgain(i);
    }
    Finish(household);
  }
  if (!deleted_.empty()) return;
  const bool kept_back =
      std::any_of(verdicts_.begin(), verdicts_.end(),
                  [](const Verdict& verdict) { return verdict.kind == Verdict::Kind::kKeptBack; });
  RecordError(error_, kept_back ? kErrorDeviceBusy : kErrorNotFound);
}

// One photo per distinct (name, month, size) in request order, with what the memory
// and the rest of the request say of it. An entry without a size is no photo of its own
// where the request asks its name and month with a size too: it is that photo asked once
// more, and on its own it could take the namesake the size showed to be another photo.
void DeletionPass::CollectPhotos(const std::vector<WantedFile>& wanted) {
  std::set<std::pair<std::u16string_view, std::u16string_view>> sized;
  for (const WantedFile& file : wanted) {
    if (file.size.has_value()) sized.emplace(file.name, file.month);
  }
  // The photos of each name so far: the newest, and from each the one asked before it
  // through `earlier_of_name`. A request holds thousands of entries.
  struct OfName {
    std::size_t newest = 0;
    std::size_t count = 0;
  };
  std::unordered_map<std::u16string_view, OfName> of_name(wanted.size());
  std::vector<std::size_t> earlier_of_name;
  earlier_of_name.reserve(wanted.size());
  photos_.reserve(wanted.size());
  for (const WantedFile& file : wanted) {
    if (file.name.empty()) continue;
    if (!file.size.has_value() && !file.size_unusable &&
        sized.count({file.name, file.month}) != 0) {
      continue;
    }
    OfName& photos = of_name[file.name];
    bool asked_before = false;
    for (std::size_t i = photos.newest, left = photos.count; left > 0 && !asked_before;
         --left, i = earlier_of_name[i]) {
      const WantedFile& earlier = photos_[i].wanted;
      asked_before = std::tie(earlier.month, earlier.size, earlier.size_unusable) ==
                     std::tie(file.month, file.size, file.size_unusable);
    }
    if (asked_before) continue;
    earlier_of_name.push_back(photos.newest);
    photos.newest = photos_.size();
    ++photos.count;
    photos_.emplace_back().wanted = file;
  }
  for (const auto& [name, photos] : of_name) {
    for (std::size_t i = photos.newest, left = photos.count; left > 0;
         --left, i = earlier_of_name[i]) {
      photos_[i].photos_of_name = photos.count;
    }
  }
  for (PhotoEvidence& photo : photos_) {
    const WantedFile& file = photo.wanted;
    photo.real_month = IsRealMonth(file.month);
    photo.deleted_earlier = memory_.DeletedEarlier(file.name, file.month, file.size);
    photo.stem_sent_earlier = memory_.StemSent(StemOfUpperCased(file.name));
    photo.unresolved = memory_.Unresolved(file.name);
  }
}

void DeletionPass::JudgeAgain(std::size_t photo) {
  verdicts_[photo] = Judge(photos_[photo]);
  TraceVerdict(photos_[photo], verdicts_[photo], &gaps_said_);
}

// Sends what was taken on each device, unless it went away or showed nothing, then
// closes it. Choices go in the order of their round, then of where they lay.
void DeletionPass::Finish(Household& household) {
  std::vector<std::vector<std::pair<const Verdict*, const PhotoEvidence*>>> taken(
      household.devices().size());
  for (std::size_t i = 0; i < verdicts_.size(); ++i) {
    if (verdicts_[i].kind == Verdict::Kind::kTake) {
      taken[verdicts_[i].taken->device].push_back({&verdicts_[i], &photos_[i]});
    }
  }
  for (std::size_t d = 0; d < household.devices().size(); ++d) {
    HouseholdDevice& device = household.devices()[d];
    if (device.connection == nullptr) {
      RecordError(error_, kErrorDeviceBusy);
      continue;
    }
    std::sort(taken[d].begin(), taken[d].end(), [](const auto& lhs, const auto& rhs) {
      return std::make_pair(lhs.first->round, lhs.first->taken->place) <
             std::make_pair(rhs.first->round, rhs.first->taken->place);
    });
    const std::vector<ChosenObject> chosen = Allowed(device, taken[d]);
    if (device.searchable()) {
      if (!device.shows_anything) {
        // A locked phone, or one that does not yet trust this computer, shows nothing:
        // that is no proof that the photos are not on it.
        DeleteTrace("delete: %s shows nothing, it may be locked",
                    text::WideToUtf8(device.id).c_str());
        RecordError(error_, kErrorDeviceBusy);
      } else if (!chosen.empty()) {
        TraceWhatThePhoneKeeps(
            device, SendDeletionRequest(layer_, device.connection->content(), device.id, chosen,
                                        &memory_, &deleted_, error_));
      }
    }
    if (device.connection->gone()) {
      DeleteTrace(
          "delete: %s stopped answering with 0x%08lX, nothing more is asked of it",
          text::WideToUtf8(device.id).c_str(),
          static_cast<unsigned long>(static_cast<std::uint32_t>(device.connection->gone_result())));
      RecordError(error_, kErrorDeviceBusy);
    }
    device.storages.clear();
    device.connection.reset();
  }
}

// What is taken on a device and may be sent: an object taken for several wanted photos
// (a driver that shows one object in two folders, each the own month of a wanted photo)
// once, by its id. Nothing the phone declares it will not delete, nor anything on a
// storage that did not say whether it allows deletion. With iCloud Photos on an iPhone
// reports its storage as allowing no deletion: a deletion over the cable would remove the
// photo from the whole library.
std::vector<ChosenObject> DeletionPass::Allowed(
    HouseholdDevice& device,
    const std::vector<std::pair<const Verdict*, const PhotoEvidence*>>& taken) {
  std::vector<ChosenObject> chosen;
  // The ids met so far, borrowed from the listings, with where each went in `chosen`;
  // none when it was refused.
  std::unordered_map<std::u16string_view, std::optional<std::size_t>> met(taken.size());
  chosen.reserve(taken.size());
  for (const auto& [verdict, photo] : taken) {
    const PhoneObject* object = verdict->taken->object;
    const auto emplaced = met.emplace(object->id, std::nullopt);
    std::optional<std::size_t>& at = emplaced.first->second;
    if (!emplaced.second) {
      if (at.has_value()) chosen[*at].photos.push_back(&photo->wanted);
      continue;
    }
    const PhoneObject& storage = device.storages[verdict->taken->place[0]]->storage();
    if (storage.access_capability == kReadOnlyWithoutObjectDeletion) {
      DeleteTrace(
          "delete: %s lies on \"%s\", which allows no deletion (iCloud Photos may be on), "
          "refused",
          text::WideToUtf8(object->name).c_str(), text::WideToUtf8(storage.name).c_str());
      RecordError(error_, kErrorDeleteRefused);
    } else if (storage.access_unreadable) {
      DeleteTrace(
          "delete: %s lies on \"%s\", which did not say whether it allows deletion, left alone",
          text::WideToUtf8(object->name).c_str(), text::WideToUtf8(storage.name).c_str());
      RecordError(error_, kErrorDeviceBusy);
    } else if (object->can_delete.has_value() && !*object->can_delete) {
      DeleteTrace("delete: the phone allows no deletion of %s, refused",
                  text::WideToUtf8(object->name).c_str());
      RecordError(error_, kErrorDeleteRefused);
    } else {
      at = chosen.size();
      chosen.push_back({object, {&photo->wanted}, verdict->taken->place});
    }
  }
  return chosen;
}

// A photo leaves the phone's library only once every object of it was deleted: says so
// for each stem of a folder that still holds objects this request did not delete.
void DeletionPass::TraceWhatThePhoneKeeps(HouseholdDevice& device,
                                          const std::vector<const ChosenObject*>& deleted) {
  const auto folder_of = [](const ChosenObject* object) {
    return std::make_pair(object->place[0], object->place[1]);
  };
  // Folder by folder, in the order of their places; in a folder, in the order deleted.
  std::vector<std::pair<std::size_t, const ChosenObject*>> by_folder;
  by_folder.reserve(deleted.size());
  for (const ChosenObject* object : deleted) by_folder.emplace_back(by_folder.size(), object);
  std::sort(by_folder.begin(), by_folder.end(), [&](const auto& lhs, const auto& rhs) {
    return std::make_pair(folder_of(lhs.second), lhs.first) <
           std::make_pair(folder_of(rhs.second), rhs.first);
  });
  std::u16string upper_name;
  std::vector<bool> gone;  // by place in the folder's listing
  for (auto run = by_folder.begin(); run != by_folder.end();) {
    const auto run_end = std::find_if(run, by_folder.end(), [&](const auto& deleted_here) {
      return folder_of(deleted_here.second) != folder_of(run->second);
    });
    CameraRoll& roll = *device.storages[run->second->place[0]];
    const PhoneObject& folder = *roll.folders()[run->second->place[1]];
    const std::vector<PhoneObject>& listed = roll.cache().Lookup(folder.id).objects;
    gone.assign(listed.size(), false);
    // The stems deleted here in the order first deleted. An object taken carries its
    // wanted name, upper-cased in the request: the stem is a view of that name.
    std::vector<std::u16string_view> stems;
    std::unordered_map<std::u16string_view, std::size_t> stem_at;
    for (; run != run_end; ++run) {
      const ChosenObject& object = *run->second;
      gone[object.place[2]] = true;
      const std::u16string_view stem = StemOfUpperCased(object.photos.front()->name);
      if (stem_at.emplace(stem, stems.size()).second) stems.push_back(stem);
    }
    // The objects the folder keeps under each stem, in listing order.
    std::vector<std::vector<const PhoneObject*>> kept(stems.size());
    for (std::size_t p = 0; p < listed.size(); ++p) {
      const PhoneObject& other = listed[p];
      if (other.is_folder || gone[p]) continue;
      const auto stem = stem_at.find(StemOfUpperCased(UpperCasedName(other.name, &upper_name)));
      if (stem != stem_at.end()) kept[stem->second].push_back(&other);
    }
    for (std::size_t i = 0; i < stems.size(); ++i) {
      const std::vector<const PhoneObject*>& objects = kept[i];
      if (objects.empty()) continue;
      std::string list;
      for (const PhoneObject* object : objects) {
        list += (list.empty() ? "" : ", ") + text::WideToUtf8(object->name);
      }
      DeleteTrace("delete: the phone keeps photo %s in %s until %s %s deleted too",
                  text::WideToUtf8(std::u16string(stems[i])).c_str(),
                  text::WideToUtf8(folder.name).c_str(), list.c_str(),
                  objects.size() > 1 ? "are" : "is");
    }
  }
}

}  // namespace

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
