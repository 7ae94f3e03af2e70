#include "ptp/reply_backlog.h"

#include <mutex>
#include <utility>

namespace camvey::ptp {
namespace {

struct Backlog {
  std::mutex mutex;
  BacklogRoom replies;
};

// Never destroyed: a worker may still hold a reply back while the process exits.
Backlog& TheBacklog() {
  static Backlog* const backlog = new Backlog;
  return *backlog;
}

}  // namespace

BacklogRoom MakeBacklogRoom() { return BacklogRoom(1); }

void HoldBackPtpReply(std::unique_ptr<PtpReply> reply, BacklogRoom room) {
  room.front() = std::move(reply);
  Backlog& backlog = TheBacklog();
  std::lock_guard<std::mutex> lock(backlog.mutex);
  backlog.replies.splice(backlog.replies.end(), room, room.begin());
}

void DeliverHeldBackPtpReplies() {
  Backlog& backlog = TheBacklog();
  BacklogRoom replies;
  {
    std::lock_guard<std::mutex> lock(backlog.mutex);
    replies.swap(backlog.replies);
  }
  for (std::unique_ptr<PtpReply>& reply : replies) {
    CompletePtpReply(std::move(reply));
  }
}

}  // namespace camvey::ptp
