#ifndef CAMVEY_PTP_DELETION_TURNS_H_
#define CAMVEY_PTP_DELETION_TURNS_H_

// Deletion passes take turns, and share what earlier turns sent for deletion. Two
// passes at once over one phone could each take, by its unique name, the namesake of a
// photo the other is deleting; and a request that comes again (sent twice, or resent
// after an answer that never arrived) must learn what the first one deleted.

#include <functional>
#include <mutex>

#include "ptp/device/deletion_memory.h"

namespace camvey::ptp {

class DeletionTurns {
 public:
  DeletionTurns() = default;
  DeletionTurns(const DeletionTurns&) = delete;
  DeletionTurns& operator=(const DeletionTurns&) = delete;

  // Waits until no other pass runs, then runs `pass` with the shared memory. Worker
  // threads only: the platform thread never waits.
  void Take(const std::function<void(DeletionMemory&)>& pass);

  // Runs `pass` only when no other pass runs, and says whether it ran. Never waits.
  bool TakeIfFree(const std::function<void(DeletionMemory&)>& pass);

 private:
  std::mutex turn_;
  DeletionMemory memory_;  // guarded by turn_
};

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DELETION_TURNS_H_
