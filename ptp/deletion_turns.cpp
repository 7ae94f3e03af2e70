#include "ptp/deletion_turns.h"

namespace camvey::ptp {
namespace {

DeletionTurns*& InstalledTurns() {
  static DeletionTurns* installed = nullptr;
  return installed;
}

}  // namespace

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

void SetDeletionTurns(DeletionTurns* turns) { InstalledTurns() = turns; }

DeletionTurns& CurrentDeletionTurns() {
  // Never destroyed: workers waiting for their turn when the process exits must not
  // meet a destroyed lock.
  static DeletionTurns* const process_turns = new DeletionTurns;
  DeletionTurns* const installed = InstalledTurns();
  return installed != nullptr ? *installed : *process_turns;
}

}  // namespace camvey::ptp
