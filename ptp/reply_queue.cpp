#include "ptp/reply_queue.h"

#include <utility>

namespace camvey::ptp {

void ReplyQueue::Add(ReplyList& replies) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_.splice(replies_.end(), replies);
  }
  added_.notify_one();
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
