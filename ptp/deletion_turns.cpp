#include "ptp/deletion_turns.h"

namespace camvey::ptp {

void DeletionTurns::Take(const std::function<void(DeletionMemory&)>& pass) {
  const std::lock_guard<std::mutex> lock(turn_);
  pass(memory_);
}

bool DeletionTurns::TakeIfFree(const std::function<void(DeletionMemory&)>& pass) {
  const std::unique_lock<std::mutex> lock(turn_, std::try_to_lock);
  if (!lock.owns_lock()) return false;
  pass(memory_);
  return true;
}

}  // namespace camvey::ptp
