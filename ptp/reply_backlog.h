#ifndef CAMVEY_PTP_REPLY_BACKLOG_H_
#define CAMVEY_PTP_REPLY_BACKLOG_H_

// Replies that a worker could not hand to the platform thread. A worker that has failed
// to post its reply several times leaves it here instead of losing it; the platform
// thread answers what it finds here whenever it next delivers a reply or takes a call
// on "camvey/ptp". A reply left here when the process ends goes with the process, like
// a message still in the reply window's queue.

#include <list>
#include <memory>

#include "ptp/ptp_reply.h"

namespace camvey::ptp {

// The place of one reply in the backlog, made before the reply may need it: a worker
// gets its room on the platform thread, where running out of memory can still be
// answered, so that holding its reply back later allocates nothing and cannot fail.
using BacklogRoom = std::list<std::unique_ptr<PtpReply>>;

// Room for one reply. Throws std::bad_alloc when there is no memory for it.
BacklogRoom MakeBacklogRoom();

// Takes `reply` into the backlog, in `room` (from MakeBacklogRoom). Allocates nothing.
// Any thread.
void HoldBackPtpReply(std::unique_ptr<PtpReply> reply, BacklogRoom room);

// Answers and destroys every held-back reply, oldest first. Platform thread.
void DeliverHeldBackPtpReplies();

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_REPLY_BACKLOG_H_
