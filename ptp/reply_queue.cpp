#include "ptp/reply_queue.h"

#include <utility>

namespace camvey::ptp {

void ReplyQueue::Add(ReplyList& replies) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_.splice(replies_.end(), replies);
    // Under the lock, so that SetWakeUp cannot return while this still uses the old one.
    if (wake_up_ != nullptr) wake_up_->Wake();
  }
  added_.notify_one();
}

void ReplyQueue::SetWakeUp(ReplyWakeUp* wake_up) {
  const std::lock_guard<std::mutex> lock(mutex_);
  wake_up_ = wake_up;
}

std::size_t ReplyQueue::DeliverQueued(std::chrono::milliseconds wait) {
  ReplyList replies;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    added_.wait_for(lock, wait, [this] { return !replies_.empty(); });
    replies.swap(replies_);
  }
  for (PtpReply& reply : replies) {
    CompletePtpReply(std::move(reply));
  }
  return replies.size();
}

}  // namespace camvey::ptp
