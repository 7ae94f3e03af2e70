#include "ptp/device/deletion_memory.h"

#include <algorithm>
#include <utility>

#include "ptp/device/photo_name.h"

namespace camvey::ptp {

template <typename Visit>
void DeletionMemory::ForEachRecord(const SentName& name, Visit visit) const {
  for (std::size_t i = name.first;; i = records_[i].next_of_name) {
    if (!visit(i) || i == name.last) return;
  }
}

SentPhoto DeletionMemory::PhotoOf(const SentNames::value_type& name, const Record& record) const {
  return {name.first,       record.month,
          record.size,      device_ids_[record.device],
          record.object_id, record.spelled.empty() ? name.first : record.spelled,
          record.outcome};
}

// Grows at least twofold, as the containers would on their own: a process remembers
// request after request.
void DeletionMemory::Reserve(std::size_t photos) {
  const std::size_t records = records_.size() + photos;
  if (records > records_.capacity()) {
    records_.reserve(std::max(records, 2 * records_.capacity()));
  }
  by_name_.reserve(std::max(by_name_.size() + photos, 2 * by_name_.size()));
  first_name_of_stem_.reserve(
      std::max(first_name_of_stem_.size() + photos, 2 * first_name_of_stem_.size()));
}

void DeletionMemory::Remember(const SentPhoto& photo) {
  const auto device =
      std::find(device_ids_.begin(), device_ids_.end(), photo.device_id) - device_ids_.begin();
  if (static_cast<std::size_t>(device) == device_ids_.size()) {
    device_ids_.push_back(photo.device_id);
  }
  Record record{photo.month,
                photo.size,
                static_cast<std::size_t>(device),
                photo.object_id,
                photo.spelled == photo.name ? std::u16string() : photo.spelled,
                photo.outcome,
                records_.size()};
  const auto emplaced = by_name_.try_emplace(photo.name);
  SentNames::value_type& name = *emplaced.first;
  if (emplaced.second) {
    name.second.first = records_.size();
    const auto stem = first_name_of_stem_.try_emplace(StemOfUpperCased(name.first), &name);
    if (!stem.second) {
      // Appended at the stem's end: the names of a stem are few.
      SentNames::value_type* last = stem.first->second;
      while (last->second.next_of_stem != nullptr) last = last->second.next_of_stem;
      last->second.next_of_stem = &name;
    }
  } else {
    std::optional<std::size_t> same;
    ForEachRecord(name.second, [&](std::size_t i) {
      const Record& earlier = records_[i];
      if (earlier.month == record.month && earlier.device == record.device &&
          earlier.object_id == record.object_id) {
        same = i;
      }
      return !same.has_value();
    });
    if (same.has_value()) {
      record.next_of_name = records_[*same].next_of_name;
      records_[*same] = std::move(record);
      return;
    }
    records_[name.second.last].next_of_name = records_.size();
  }
  name.second.last = records_.size();
  records_.push_back(std::move(record));
}

std::optional<SentPhoto> DeletionMemory::DeletedEarlier(
    const std::u16string& name, const std::u16string& month,
    const std::optional<std::uint64_t>& size) const {
  const auto found = by_name_.find(name);
  if (found == by_name_.end()) return std::nullopt;
  std::optional<SentPhoto> deleted;
  ForEachRecord(found->second, [&](std::size_t i) {
    const Record& record = records_[i];
    const bool sizes_agree = !size.has_value() || !record.size.has_value() || *size == *record.size;
    if (record.outcome == SentOutcome::kDeleted && record.month == month && sizes_agree) {
      deleted = PhotoOf(*found, record);
    }
    return !deleted.has_value();
  });
  return deleted;
}

bool DeletionMemory::StemSent(std::u16string_view stem) const {
  const auto first = first_name_of_stem_.find(stem);
  if (first == first_name_of_stem_.end()) return false;
  bool sent = false;
  for (const SentNames::value_type* name = first->second; name != nullptr && !sent;
       name = name->second.next_of_stem) {
    ForEachRecord(name->second, [this, &sent](std::size_t i) {
      sent = records_[i].outcome != SentOutcome::kRefused;
      return !sent;
    });
  }
  return sent;
}

std::vector<SentPhoto> DeletionMemory::Unresolved(const std::u16string& name) const {
  std::vector<SentPhoto> unresolved;
  const auto found = by_name_.find(name);
  if (found == by_name_.end()) return unresolved;
  ForEachRecord(found->second, [&](std::size_t i) {
    const Record& record = records_[i];
    if (record.outcome == SentOutcome::kUnknown) unresolved.push_back(PhotoOf(*found, record));
    return true;
  });
  return unresolved;
}

}  // namespace camvey::ptp
