#include "fuzz/ptp/household.h"

#include <map>

namespace camvey::fuzz {
namespace {

// True when one of the device's reads, as discovery may have paired them, names an
// Apple device; a device whose reads all failed is judged on empty texts.
bool ReadsNameAppleDevice(const DiscoveryRecord& discovery, const std::u16string& device_id) {
  static const std::vector<std::u16string> kNoRead{std::u16string()};
  const auto reads = [&](const auto& texts) -> const std::vector<std::u16string>& {
    const auto found = texts.find(device_id);
    return found == texts.end() || found->second.empty() ? kNoRead : found->second;
  };
  for (const std::u16string& friendly_name : reads(discovery.friendly_names)) {
    for (const std::u16string& manufacturer : reads(discovery.manufacturers)) {
      if (NamesAppleDevice(friendly_name, manufacturer)) return true;
    }
  }
  return false;
}

}  // namespace

std::set<std::u16string> HouseholdOf(const DiscoveryRecord& discovery) {
  std::set<std::u16string> device_ids;
  for (const std::u16string& device_id : discovery.device_ids) {
    if (ReadsNameAppleDevice(discovery, device_id)) device_ids.insert(device_id);
  }
  return device_ids;
}

Household::Household(FuzzedPhone* phone, const FuzzedDeviceLayer& layer)
    : keys_(layer.keys()), device_ids_(HouseholdOf(layer.discovery())) {
  for (const std::u16string& device_id : device_ids_) {
    FuzzedDevice& device = phone->Device(device_id);
    // References into the device's maps stay valid while more of it is drawn.
    for (const std::u16string& storage_id : phone->Listing(device, ptp::kDeviceObjectId).children) {
      const ObjectRef storage = {device_id, storage_id};
      const SeenObject storage_seen = Seen(phone->Object(device, storage_id), keys_);
      if (storage_seen.access == kReadOnlyWithoutObjectDeletion ||
          (storage_seen.access_unread && (!storage_seen.kind_known || storage_seen.is_folder))) {
        storages_without_deletion_.insert(storage);
      }
      for (const std::u16string& top_id : phone->Listing(device, storage_id).children) {
        const FuzzedObject& top = phone->Object(device, top_id);
        if (!IsFolderKind(top.kind)) continue;
        const SeenObject seen = Seen(top, keys_);
        unnamed_folder_ = unnamed_folder_ || !seen.name_is_file_name;
        const bool dcim = IsDcimName(top.file_name);
        AddFolder(*phone, device, storage, top_id, false, dcim);
        if (!dcim) continue;
        const bool unknown_dcim = !seen.kind_known;
        for (const std::u16string& inner_id : phone->Listing(device, top_id).children) {
          const FuzzedObject& inner = phone->Object(device, inner_id);
          if (!IsFolderKind(inner.kind)) continue;
          if (!Seen(inner, keys_).name_is_file_name) {
            (unknown_dcim ? unnamed_folder_in_unknown_dcim_ : unnamed_folder_) = true;
          }
          AddFolder(*phone, device, storage, inner_id, unknown_dcim, false);
        }
      }
    }
  }
}

void Household::AddFolder(FuzzedPhone& phone, FuzzedDevice& device, const ObjectRef& storage,
                          const std::u16string& folder_id, bool in_unknown_dcim, bool dcim) {
  HeldFolder folder;
  folder.device_id = storage.first;
  folder.storage_id = storage.second;
  folder.id = folder_id;
  folder.name = phone.Object(device, folder_id).file_name;
  folder.in_unknown_dcim = in_unknown_dcim;
  folder.of_no_month = dcim || !IsMonthFolderName(folder.name);
  std::set<std::u16string> met;
  for (const std::u16string& child_id : phone.Listing(device, folder_id).children) {
    if (!met.insert(child_id).second) continue;
    const FuzzedObject& child = phone.Object(device, child_id);
    if (IsFolderKind(child.kind)) {
      // DCIM's folders are the camera roll, not inside it.
      folder.holds_deeper =
          folder.holds_deeper || (!dcim && !phone.Listing(device, child_id).children.empty());
      continue;
    }
    folder.photos.emplace_back(child_id, Seen(child, keys_));
  }
  roll_.push_back(std::move(folder));
}

bool Household::InGroup(const HeldFolder& folder, const Entry& entry, Round round) {
  switch (round) {
    case Round::kOwnMonth:
      return entry.groups.IsOwn(folder.name);
    case Round::kNeighbours:
      return entry.groups.IsNeighbour(folder.name);
    case Round::kUnique:
      break;
  }
  return true;
}

GroupEvidence Household::Evidence(const Entry& entry, Round round, bool with_unknown_dcim) const {
  const bool unique = round == Round::kUnique;
  const bool all_dcim = unique || with_unknown_dcim;
  GroupEvidence evidence;
  evidence.unreadable = unnamed_folder_ || (all_dcim && unnamed_folder_in_unknown_dcim_);
  const std::u16string stem = StemOf(entry.name);
  for (const HeldFolder& folder : roll_) {
    if (folder.in_unknown_dcim && !all_dcim) continue;
    const bool of_no_month = !unique && entry.groups.real && folder.of_no_month;
    if (!of_no_month && !InGroup(folder, entry, round)) continue;
    evidence.unreadable = evidence.unreadable || ((unique || of_no_month) && folder.holds_deeper);
    // A folder of no month holding the stem counts only without the name beside it.
    bool stem_here = false;
    bool name_here = false;
    for (const auto& [id, seen] : folder.photos) {
      if (!seen.name_is_file_name) {
        evidence.unreadable = true;
        continue;
      }
      const std::u16string name = Folded(seen.name);
      if (name != entry.name) {
        stem_here = stem_here || StemOf(name) == stem;
        continue;
      }
      name_here = true;
      const ObjectRef object = {folder.device_id, id};
      if (!entry.size.has_value() || (seen.size_known && seen.size == *entry.size)) {
        (of_no_month ? evidence.of_no_month : evidence.carriers).insert(object);
      } else if (!seen.size_known) {
        evidence.size_unknown.insert(object);
      }
    }
    evidence.other_stem = evidence.other_stem || (stem_here && !(of_no_month && name_here));
  }
  return evidence;
}

}  // namespace camvey::fuzz
