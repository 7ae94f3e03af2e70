// Away from Windows replies reach the platform thread through the process's queue.

#include "ptp/reply_delivery.h"
#include "ptp/reply_queue.h"

namespace camvey::ptp {

ReplyDelivery& PlatformReplyDelivery() { return ProcessReplyQueue(); }

}  // namespace camvey::ptp
