#include "ptp/reply_queue.h"

#include <new>
#include <utility>

#include "ptp/reply_backlog.h"

namespace camvey::ptp {

bool ReplyQueue::Ready() { return true; }

bool ReplyQueue::Post(std::unique_ptr<PtpReply>* reply) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    try {
      replies_.push_back(std::move(*reply));
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  arrived_.notify_one();
  return true;
}

std::size_t ReplyQueue::DeliverQueued(std::chrono::milliseconds wait) {
  std::deque<std::unique_ptr<PtpReply>> replies;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait_for(lock, wait, [this] { return !replies_.empty(); });
    replies.swap(replies_);
  }
  DeliverHeldBackPtpReplies();
  for (std::unique_ptr<PtpReply>& reply : replies) {
    CompletePtpReply(std::move(reply));
  }
  return replies.size();
}

ReplyQueue& ProcessReplyQueue() {
  static ReplyQueue* const queue = new ReplyQueue;
  return *queue;
}

}  // namespace camvey::ptp
