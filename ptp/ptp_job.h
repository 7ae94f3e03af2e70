#ifndef CAMVEY_PTP_PTP_JOB_H_
#define CAMVEY_PTP_PTP_JOB_H_

// The work of one "deleteFiles" request with usable entries: on a worker thread of its
// own when one can be started and the reply can travel back, on the platform thread
// otherwise. Either way the call is answered exactly once, on the platform thread.
//
// No exception leaves the work. One in the deletion pass writes the line
// "Exception in the deletion pass; answering with what was deleted." and the request
// is answered with the names deleted before it, or fails with "device_busy" when there
// are none. One while a worker posts its reply writes "Exception while handing a reply
// to the platform thread." and counts as a failed post.

#include <chrono>
#include <memory>
#include <vector>

#include "messaging/method_result.h"
#include "ptp/ptp_reply.h"
#include "ptp/ptp_service.h"
#include "ptp/reply_backlog.h"
#include "ptp/wanted_file.h"

namespace camvey::ptp {

// A worker tries this many times to post its reply, pausing kReplyPostPause times the
// number of failed tries before each retry, and then leaves the reply in the backlog
// (reply_backlog.h).
inline constexpr int kReplyPostAttempts = 4;
inline constexpr std::chrono::milliseconds kReplyPostPause{10};

// What a worker thread gets; owned by the worker, which destroys it when done.
struct PtpJob {
  std::vector<WantedFile> wanted;  // the job's own copy of the request
  std::unique_ptr<PtpReply> reply;
  PtpServiceParts parts;     // the service's parts when the job started
  BacklogRoom backlog_room;  // where the reply waits when no post gets through
};

// Starts a worker with a job for `wanted` whose reply carries `*result` and travels by
// the service's delivery (which has said Ready()). Returns before the call is answered.
// When no worker can be started, runs the request synchronously instead: the call is
// then answered before this returns. Takes `*result` only once the job is made: when
// this throws (no memory for the job), `*result` is still the caller's. Platform
// thread.
void StartPtpJob(std::vector<WantedFile> wanted, std::unique_ptr<flutter::MethodResult>* result);

// The worker's body: waits for its turn, runs the deletion pass inside the worker's own
// apartment, leaves the apartment, then hands the reply over (retrying, then holding it
// back).
void RunPtpJob(std::unique_ptr<PtpJob> job);

// The synchronous fallback: runs the deletion pass on the platform thread, in its
// apartment as it is, and answers `reply` at once; "device_busy" while another pass
// runs, for the platform thread never waits. Platform thread.
void RunPtpRequestSynchronously(const std::vector<WantedFile>& wanted,
                                std::unique_ptr<PtpReply> reply);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_PTP_JOB_H_
