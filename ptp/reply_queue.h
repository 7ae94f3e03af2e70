#ifndef CAMVEY_PTP_REPLY_QUEUE_H_
#define CAMVEY_PTP_REPLY_QUEUE_H_

// How a finished reply reaches the platform thread, the only thread that answers: its
// worker adds it to its service's queue, which wakes the platform thread, which drains
// the queue in order, answering and destroying each reply. The queue is drained at
// every wake-up and at every call on "camvey/ptp", so a reply whose wake-up is lost
// (the window's message queue is full) waits for the next wake-up or the next call,
// whichever comes first, and is answered once.
//
// On Windows the wake-up is a message to the reply window (reply_window_win.h). Away
// from Windows there is none: the platform thread's loop drains the queue, waiting on it.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <list>
#include <mutex>

#include "ptp/ptp_reply.h"

namespace camvey::ptp {

// Replies in the order they were finished. A job's reply is made in a list of its own
// on the platform thread, so that adding it to the queue moves its node and allocates
// nothing: a worker never loses its reply for want of memory.
using ReplyList = std::list<PtpReply>;

// How a worker wakes the platform thread once its reply is queued.
class ReplyWakeUp {
 public:
  ReplyWakeUp() = default;
  virtual ~ReplyWakeUp() = default;

  ReplyWakeUp(const ReplyWakeUp&) = delete;
  ReplyWakeUp& operator=(const ReplyWakeUp&) = delete;

  // Makes what the wake-up needs (the reply window, on first need) and says whether it
  // can wake the platform thread; when it cannot, the request is answered on the spot.
  // Platform thread.
  virtual bool Ready() = 0;

  // Asks the platform thread to drain the queue. A wake-up may be lost; the reply then
  // waits in the queue. Any thread, once Ready() has said yes; called by the queue with
  // its lock held, so it must not use the queue itself.
  virtual void Wake() noexcept = 0;
};

// Shared by the service and its workers, so that a worker that finishes after the
// service is gone still has a queue to put its reply in.
class ReplyQueue {
 public:
  ReplyQueue() = default;
  // Queued replies die unanswered with the queue; their results report it.
  ~ReplyQueue() = default;

  ReplyQueue(const ReplyQueue&) = delete;
  ReplyQueue& operator=(const ReplyQueue&) = delete;

  // Moves every reply of `replies` to the end of the queue, leaves `replies` empty and
  // wakes the platform thread through the queue's wake-up, if it has one. Allocates
  // nothing. Any thread.
  void Add(ReplyList& replies);

  // Makes `wake_up` (borrowed; null: none) the one that Add uses from now on. When this
  // returns no Add uses the one before any more, so that it may be destroyed. Platform
  // thread.
  void SetWakeUp(ReplyWakeUp* wake_up);

  // Waits up to `wait` for a reply when none is queued, then answers and destroys every
  // queued reply, oldest first. Returns how many it answered. Platform thread.
  std::size_t DeliverQueued(std::chrono::milliseconds wait);

 private:
  std::mutex mutex_;
  std::condition_variable added_;
  ReplyList replies_;               // guarded by mutex_
  ReplyWakeUp* wake_up_ = nullptr;  // guarded by mutex_
};

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_REPLY_QUEUE_H_
