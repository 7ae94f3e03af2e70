#ifndef CAMVEY_PTP_PTP_DISPATCH_H_
#define CAMVEY_PTP_PTP_DISPATCH_H_

// What the service answers on "camvey/ptp". Method names compare as exact bytes:
//
//   method          answer
//   "available"     Success: true when a device manager can be made and an Apple device
//                   is attached, else false; arguments are ignored
//   "deleteFiles"   no usable entry: Success with an empty list, at once; otherwise the
//                   job's answer (ptp_reply.h), after the handler has returned, or before
//                   when the request had to run synchronously
//   anything else   NotImplemented
//
// An exception in the handler goes no further: it writes the line "Exception in the
// handler of camvey/ptp." and the call, unless answered, gets false for "available",
// the error "ptp_failed" with "device_busy" for "deleteFiles" (nothing was deleted),
// and NotImplemented otherwise.

#include <memory>

#include "messaging/method_call.h"
#include "messaging/method_result.h"
#include "ptp/ptp_service.h"

namespace camvey::ptp {

// The handler of `service`'s channel; keeps no state between calls. Answers the queued
// replies of earlier calls first (reply_queue.h). Platform thread.
void HandlePtpCall(PtpService& service, const flutter::MethodCall& call,
                   std::unique_ptr<flutter::MethodResult> result);

// True when the parts' device layer makes a manager and that manager lists at least
// one Apple device. Every failure gives false. Platform thread.
bool IsPtpAvailable(const PtpServiceParts& parts);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_PTP_DISPATCH_H_
