#include "ptp/ptp_job.h"

#include <iostream>
#include <utility>

#include "ptp/device/deletion_pass.h"
#include "ptp/worker_apartment.h"

namespace camvey::ptp {
namespace {

// Fills the reply's names and error. The layer and every device object are gone when
// this returns. A worker waits for its turn; the platform thread never waits, and
// answers "device_busy" while another pass runs. The pass runs on a worker or inside
// the channel's handler, and either answers from the reply afterwards, so nothing is
// thrown out of it: the names deleted before an exception stay in the reply.
void RunDeletionPass(const std::vector<WantedFile>& wanted, PtpReply* reply,
                     const PtpServiceParts& parts, bool may_wait) {
  const auto pass = [&wanted, reply, &parts](DeletionMemory& memory) {
    std::unique_ptr<DeviceLayer> layer = parts.MakeDeviceLayer();
    DeleteWantedFiles(*layer, wanted, &memory, &reply->names, &reply->error);
  };
  try {
    if (may_wait) {
      parts.turns->Take(pass);
    } else if (!parts.turns->TakeIfFree(pass)) {
      reply->error = kErrorDeviceBusy;
    }
  } catch (...) {
    std::cerr << "Exception in the deletion pass; answering with what was deleted.\n" << std::flush;
    if (reply->names.empty()) reply->error = kErrorDeviceBusy;
  }
}

}  // namespace

void StartPtpJob(std::vector<WantedFile> wanted, std::unique_ptr<flutter::MethodResult>* result) {
  auto job = std::make_unique<PtpJob>();
  job->wanted = std::move(wanted);
  job->reply.emplace_back();
  job->parts = PtpService::Process().parts();
  job->reply.front().result = std::move(*result);

  // The thread's body holds the job by plain pointer, so that a thread that never
  // started leaves the job, and the pending result in it, here.
  PtpJob* const handed = job.get();
  if (job->parts.start_worker([handed] { RunPtpJob(std::unique_ptr<PtpJob>(handed)); })) {
    static_cast<void>(job.release());  // the worker owns it now
    return;
  }
  RunPtpRequestSynchronously(job->wanted, std::move(job->reply.front()));
}

void RunPtpJob(std::unique_ptr<PtpJob> job) {
  {
    WorkerApartment apartment;
    RunDeletionPass(job->wanted, &job->reply.front(), job->parts, /*may_wait=*/true);
  }
  PtpService::Process().replies().Add(job->reply);
  if (job->parts.wake_up != nullptr) job->parts.wake_up->Wake();
}

void RunPtpRequestSynchronously(const std::vector<WantedFile>& wanted, PtpReply reply) {
  RunDeletionPass(wanted, &reply, PtpService::Process().parts(), /*may_wait=*/false);
  CompletePtpReply(std::move(reply));
}

}  // namespace camvey::ptp
