#ifndef CAMVEY_PTP_PTP_REPLY_H_
#define CAMVEY_PTP_PTP_REPLY_H_

// The outcome of one "deleteFiles" request and how it is answered.
//
//   names          error           answer
//   one or more    anything        Success: the names as UTF-8 strings, in order
//   none           a code          Error "ptp_failed", the code as message, no details
//   none           empty           Success: an empty list
//
// A partial success thus drops the code: the application learns what was deleted.

#include <memory>
#include <string>
#include <vector>

#include "messaging/method_result.h"

namespace camvey::ptp {

inline constexpr char kPtpFailed[] = "ptp_failed";

// Created by the dispatcher with the call's result, filled by the deletion pass (on a
// worker or on the platform thread), answered and destroyed on the platform thread.
// Whoever holds it next owns it; a worker writes `names` and `error` only before it
// queues the reply (reply_queue.h).
struct PtpReply {
  std::unique_ptr<flutter::MethodResult> result;  // the call's pending answer
  std::vector<std::u16string> names;              // deleted files, as the phone spells them
  std::string error;                              // empty: no error
};

// Answers `reply.result` from the names and the error (table above). Platform thread.
void DeliverPtpReply(PtpReply& reply);

// Answers the reply and destroys it, result included. The reply is destroyed even when
// answering throws; the exception ends here with the line "Exception while answering a
// deleteFiles request.", so that one bad answer never keeps the replies behind it from
// theirs, and never unwinds into the message loop. A result that could not answer
// reports itself when destroyed. Platform thread.
void CompletePtpReply(PtpReply reply);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_PTP_REPLY_H_
