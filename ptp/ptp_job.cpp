#include "ptp/ptp_job.h"

#include <thread>
#include <utility>

#include "ptp/device/deletion_pass.h"
#include "ptp/reply_backlog.h"
#include "ptp/service_device_layer.h"
#include "ptp/worker_apartment.h"
#include "ptp/worker_start.h"

namespace camvey::ptp {
namespace {

// Fills the reply's names and error. The layer and every device object are gone when
// this returns.
void RunDeletionPass(const std::vector<WantedFile>& wanted, PtpReply* reply) {
  std::unique_ptr<DeviceLayer> layer = MakeServiceDeviceLayer();
  reply->names = DeleteWantedFiles(*layer, wanted, &reply->error);
}

void HandOver(ReplyDelivery& delivery, std::unique_ptr<PtpReply> reply) {
  for (int attempt = 1; attempt <= kReplyPostAttempts; ++attempt) {
    if (delivery.Post(&reply)) return;
    if (attempt < kReplyPostAttempts) std::this_thread::sleep_for(kReplyPostPause * attempt);
  }
  HoldBackPtpReply(std::move(reply));
}

}  // namespace

void StartPtpJob(std::vector<WantedFile> wanted, ReplyDelivery& delivery,
                 std::unique_ptr<flutter::MethodResult> result) {
  auto job = std::make_unique<PtpJob>();
  job->wanted = std::move(wanted);
  job->reply = std::make_unique<PtpReply>();
  job->reply->result = std::move(result);
  job->delivery = &delivery;

  // The thread's body holds the job by plain pointer, so that a thread that never
  // started leaves the job, and the pending result in it, here.
  PtpJob* const handed = job.get();
  if (StartWorker([handed] { RunPtpJob(std::unique_ptr<PtpJob>(handed)); })) {
    static_cast<void>(job.release());  // the worker owns it now
    return;
  }
  RunPtpRequestSynchronously(job->wanted, std::move(job->reply));
}

void RunPtpJob(std::unique_ptr<PtpJob> job) {
  {
    WorkerApartment apartment;
    RunDeletionPass(job->wanted, job->reply.get());
  }
  HandOver(*job->delivery, std::move(job->reply));
}

void RunPtpRequestSynchronously(const std::vector<WantedFile>& wanted,
                                std::unique_ptr<PtpReply> reply) {
  RunDeletionPass(wanted, reply.get());
  CompletePtpReply(std::move(reply));
}

}  // namespace camvey::ptp
