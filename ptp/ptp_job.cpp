#include "ptp/ptp_job.h"

#include <iostream>
#include <utility>

#include "ptp/device/delete_trace.h"
#include "ptp/device/deletion_pass.h"
#include "ptp/worker_apartment.h"

namespace camvey::ptp {
namespace {

// Fills the reply's names and error. The layer and every device object are gone when
// this returns. A worker waits for its turn; the platform thread never waits, and
// answers "device_busy" while another pass runs. The pass runs on a worker or inside
// the channel's handler, and either answers from the reply afterwards, so nothing is
// thrown out of it: the names deleted before an exception stay in the reply. The pass
// traces to the parts' writer, and the thread's own writer is back afterwards.
void RunDeletionPass(const std::vector<WantedFile>& wanted, PtpReply* reply,
                     const PtpServiceParts& parts, DeletionTurns& turns, bool may_wait) {
  const auto pass = [&wanted, reply, &parts](DeletionMemory& memory) {
    std::unique_ptr<DeviceLayer> layer = parts.MakeDeviceLayer();
    DeleteWantedFiles(*layer, wanted, &memory, &reply->names, &reply->error);
  };
  const DeleteTraceWriter thread_writer = SetDeleteTraceWriter(parts.trace_writer);
  try {
    if (may_wait) {
      turns.Take(pass);
    } else if (!turns.TakeIfFree(pass)) {
      reply->error = kErrorDeviceBusy;
    }
  } catch (...) {
    std::cerr << "Exception in the deletion pass; answering with what was deleted.\n" << std::flush;
    if (reply->names.empty()) reply->error = kErrorDeviceBusy;
  }
  SetDeleteTraceWriter(thread_writer);
}

}  // namespace

void StartPtpJob(const PtpService& service, std::vector<WantedFile> wanted,
                 std::unique_ptr<flutter::MethodResult>* result) {
  auto job = std::make_unique<PtpJob>();
  job->wanted = std::move(wanted);
  job->reply.emplace_back();
  job->parts = service.parts();
  job->turns = service.turns();
  job->replies = service.replies();
  job->reply.front().result = std::move(*result);

  // The thread's body holds the job by plain pointer, so that a thread that never
  // started leaves the job, and the pending result in it, here.
  PtpJob* const handed = job.get();
  if (job->parts.start_worker([handed] { RunPtpJob(std::unique_ptr<PtpJob>(handed)); })) {
    static_cast<void>(job.release());  // the worker owns it now
    return;
  }
  RunPtpRequestSynchronously(service, job->wanted, std::move(job->reply.front()));
}

void RunPtpJob(std::unique_ptr<PtpJob> job) {
  {
    WorkerApartment apartment;
    RunDeletionPass(job->wanted, &job->reply.front(), job->parts, *job->turns, /*may_wait=*/true);
  }
  job->replies->Add(job->reply);
}

void RunPtpRequestSynchronously(const PtpService& service, const std::vector<WantedFile>& wanted,
                                PtpReply reply) {
  RunDeletionPass(wanted, &reply, service.parts(), *service.turns(), /*may_wait=*/false);
  CompletePtpReply(std::move(reply));
}

}  // namespace camvey::ptp
