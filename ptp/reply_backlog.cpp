#include "ptp/reply_backlog.h"

#include <deque>
#include <mutex>
#include <utility>

namespace camvey::ptp {
namespace {

struct Backlog {
  std::mutex mutex;
  std::deque<std::unique_ptr<PtpReply>> replies;
};

// Never destroyed: a worker may still hold a reply back while the process exits.
Backlog& TheBacklog() {
  static Backlog* const backlog = new Backlog;
  return *backlog;
}

}  // namespace

void HoldBackPtpReply(std::unique_ptr<PtpReply> reply) {
  Backlog& backlog = TheBacklog();
  std::lock_guard<std::mutex> lock(backlog.mutex);
  backlog.replies.push_back(std::move(reply));
}

void DeliverHeldBackPtpReplies() {
  Backlog& backlog = TheBacklog();
  std::deque<std::unique_ptr<PtpReply>> replies;
  {
    std::lock_guard<std::mutex> lock(backlog.mutex);
    replies.swap(backlog.replies);
  }
  for (std::unique_ptr<PtpReply>& reply : replies) {
    CompletePtpReply(std::move(reply));
  }
}

}  // namespace camvey::ptp
