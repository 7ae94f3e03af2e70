#ifndef CAMVEY_PTP_REPLY_QUEUE_H_
#define CAMVEY_PTP_REPLY_QUEUE_H_

// Replies waiting for the platform thread, where there is no reply window: workers
// post into the queue, and the platform thread drains it in posting order, answering
// and destroying each reply. The platform thread's loop calls DeliverQueued() the way
// a Windows loop dispatches the reply window's messages.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>

#include "ptp/ptp_reply.h"
#include "ptp/reply_delivery.h"

namespace camvey::ptp {

class ReplyQueue : public ReplyDelivery {
 public:
  ReplyQueue() = default;
  // Queued replies die unanswered with the queue; their results report it.
  ~ReplyQueue() override = default;

  // Always true: a queue needs nothing made first.
  bool Ready() override;
  // Any thread. Fails only when memory runs out.
  bool Post(std::unique_ptr<PtpReply>* reply) override;

  // Waits up to `wait` for a reply to arrive (not at all when one is queued), then
  // answers the held-back replies (reply_backlog.h) and every queued reply, in posting
  // order, destroying each. Returns how many queued replies it answered. Platform
  // thread.
  std::size_t DeliverQueued(std::chrono::milliseconds wait);

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::unique_ptr<PtpReply>> replies_;
};

// The process's queue, PlatformReplyDelivery() away from Windows. Never destroyed, so
// that a worker may post into it at any time.
ReplyQueue& ProcessReplyQueue();

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_REPLY_QUEUE_H_
