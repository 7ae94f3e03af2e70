#include "ptp/device/deletion_memory.h"

namespace camvey::ptp {

void DeletionMemory::Remember(const std::u16string& name, const std::u16string& month,
                              SentObject object) {
  sent_names_.insert(name);
  sent_[{name, month}].push_back(std::move(object));
}

const SentObject* DeletionMemory::Deleted(const std::u16string& name,
                                          const std::u16string& month) const {
  const auto found = sent_.find({name, month});
  if (found == sent_.end()) return nullptr;
  for (const SentObject& object : found->second) {
    if (object.outcome == SentOutcome::kDeleted) return &object;
  }
  return nullptr;
}

std::vector<const SentObject*> DeletionMemory::Unresolved(const std::u16string& name,
                                                          const std::u16string& month) const {
  std::vector<const SentObject*> unresolved;
  const auto found = sent_.find({name, month});
  if (found == sent_.end() || Deleted(name, month) != nullptr) return unresolved;
  for (const SentObject& object : found->second) {
    if (object.outcome == SentOutcome::kUnknown) unresolved.push_back(&object);
  }
  return unresolved;
}

}  // namespace camvey::ptp
