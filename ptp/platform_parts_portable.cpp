// Away from Windows there are no portable devices to reach, and replies wait in the
// process's queue for the platform thread's loop.

#include "ptp/ptp_service.h"
#include "ptp/reply_queue.h"

namespace camvey::ptp {

PtpServiceParts PlatformParts() {
  PtpServiceParts parts;
  parts.delivery = &ProcessReplyQueue();
  return parts;
}

}  // namespace camvey::ptp
