#include "ptp/device/deletion_memory.h"

#include <algorithm>
#include <utility>

#include "ptp/device/photo_name.h"

namespace camvey::ptp {

void DeletionMemory::Remember(SentPhoto photo) {
  const auto emplaced = by_name_.try_emplace(photo.name);
  std::vector<SentPhoto>& sent = emplaced.first->second;
  if (emplaced.second) sent_of_stem_[StemOfUpperCased(emplaced.first->first)].push_back(&sent);
  const auto same = std::find_if(sent.begin(), sent.end(), [&photo](const SentPhoto& earlier) {
    return earlier.month == photo.month && earlier.device_id == photo.device_id &&
           earlier.object_id == photo.object_id;
  });
  if (same != sent.end()) {
    *same = std::move(photo);
  } else {
    sent.push_back(std::move(photo));
  }
}

std::optional<SentPhoto> DeletionMemory::DeletedEarlier(
    const std::u16string& name, const std::u16string& month,
    const std::optional<std::uint64_t>& size) const {
  const auto found = by_name_.find(name);
  if (found == by_name_.end()) return std::nullopt;
  for (const SentPhoto& photo : found->second) {
    const bool sizes_agree = !size.has_value() || !photo.size.has_value() || *size == *photo.size;
    if (photo.outcome == SentOutcome::kDeleted && photo.month == month && sizes_agree) {
      return photo;
    }
  }
  return std::nullopt;
}

bool DeletionMemory::StemSent(std::u16string_view stem) const {
  const auto names = sent_of_stem_.find(stem);
  if (names == sent_of_stem_.end()) return false;
  for (const std::vector<SentPhoto>* sent : names->second) {
    if (std::any_of(sent->begin(), sent->end(), [](const SentPhoto& photo) {
          return photo.outcome != SentOutcome::kRefused;
        })) {
      return true;
    }
  }
  return false;
}

std::vector<SentPhoto> DeletionMemory::Unresolved(const std::u16string& name) const {
  std::vector<SentPhoto> unresolved;
  const auto found = by_name_.find(name);
  if (found == by_name_.end()) return unresolved;
  for (const SentPhoto& photo : found->second) {
    if (photo.outcome == SentOutcome::kUnknown) unresolved.push_back(photo);
  }
  return unresolved;
}

}  // namespace camvey::ptp
