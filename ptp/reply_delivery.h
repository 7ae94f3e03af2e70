#ifndef CAMVEY_PTP_REPLY_DELIVERY_H_
#define CAMVEY_PTP_REPLY_DELIVERY_H_

// How a finished reply travels from its worker to the platform thread. On Windows it
// is posted to the hidden reply window (reply_window_win.cpp); elsewhere it is queued
// for the platform thread to drain (reply_queue.h). The dispatcher and the job see only
// this interface, so their code is the same on every platform.

#include <memory>

#include "ptp/ptp_reply.h"

namespace camvey::ptp {

class ReplyDelivery {
 public:
  ReplyDelivery() = default;
  virtual ~ReplyDelivery() = default;

  ReplyDelivery(const ReplyDelivery&) = delete;
  ReplyDelivery& operator=(const ReplyDelivery&) = delete;

  // Makes sure that replies can travel (the reply window is made on first need) and
  // says whether they can; when they cannot, the request is answered on the spot.
  // Platform thread.
  virtual bool Ready() = 0;

  // Hands `*reply` to the platform thread, which will answer and destroy it, and
  // leaves `*reply` null. On failure returns false and leaves `*reply` as it was: the
  // caller still owns it. Any thread, once Ready() has said yes.
  virtual bool Post(std::unique_ptr<PtpReply>* reply) = 0;
};

// The reply window's delivery (reply_window_win.cpp). Lives as long as the process.
ReplyDelivery& PlatformReplyDelivery();

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_REPLY_DELIVERY_H_
