#ifndef CAMVEY_PTP_PTP_JOB_H_
#define CAMVEY_PTP_PTP_JOB_H_

// The work of one "deleteFiles" request with usable entries: on a worker thread of its
// own when one can be started and the platform thread can be woken, on the platform
// thread otherwise. Either way the call is answered exactly once, on the platform
// thread.
//
// No exception leaves the work. One in the deletion pass writes the line
// "Exception in the deletion pass; answering with what was deleted." and the request
// is answered with the names deleted before it, or fails with "device_busy" when there
// are none.

#include <memory>
#include <vector>

#include "messaging/method_result.h"
#include "ptp/ptp_reply.h"
#include "ptp/ptp_service.h"
#include "ptp/reply_queue.h"
#include "ptp/request/wanted_file.h"

namespace camvey::ptp {

// What a worker thread gets; owned by the worker, which destroys it when done. It holds
// what it shares with the platform thread by shared ownership and the rest as copies,
// so that it may end after its service: its reply then dies unanswered with the queue.
struct PtpJob {
  std::vector<WantedFile> wanted;        // the job's own copy of the request
  ReplyList reply;                       // the job's one reply, alone until it is queued
  PtpServiceParts parts;                 // the service's parts when the job started
  std::shared_ptr<DeletionTurns> turns;  // the service's turns and their memory
  std::shared_ptr<ReplyQueue> replies;   // where the reply goes when done
};

// Starts a worker with a job of `service` for `wanted` whose reply carries `*result`;
// the service's wake-up, if any, has said Ready(). Returns before the call is answered.
// When no worker can be started, runs the request synchronously instead: the call is
// then answered before this returns. Takes `*result` only once the job is made: when
// this throws (no memory for the job), `*result` is still the caller's. Platform
// thread.
void StartPtpJob(const PtpService& service, std::vector<WantedFile> wanted,
                 std::unique_ptr<flutter::MethodResult>* result);

// The worker's body: waits for its turn, runs the deletion pass inside the worker's own
// apartment, leaves the apartment, then queues the reply, which wakes the platform
// thread.
void RunPtpJob(std::unique_ptr<PtpJob> job);

// The synchronous fallback: runs the deletion pass of `service` on the platform thread,
// in its apartment as it is, and answers `reply` at once; "device_busy" while another
// pass runs, for the platform thread never waits. Platform thread.
void RunPtpRequestSynchronously(const PtpService& service, const std::vector<WantedFile>& wanted,
                                PtpReply reply);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_PTP_JOB_H_
