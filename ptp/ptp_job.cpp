#include "ptp/ptp_job.h"

#include <iostream>
#include <thread>
#include <utility>

#include "ptp/deletion_turns.h"
#include "ptp/device/deletion_pass.h"
#include "ptp/service_device_layer.h"
#include "ptp/worker_apartment.h"
#include "ptp/worker_start.h"

namespace camvey::ptp {
namespace {

// Fills the reply's names and error. The layer and every device object are gone when
// this returns. The pass runs on a worker or inside the channel's handler, and either
// answers from the reply afterwards, so nothing is thrown out of it: the names deleted
// before an exception stay in the reply.
// A worker waits for its turn; the platform thread never waits, and answers
// "device_busy" while another pass runs.
void RunDeletionPass(const std::vector<WantedFile>& wanted, PtpReply* reply, DeletionTurns& turns,
                     bool may_wait) {
  const auto pass = [&wanted, reply](DeletionMemory& memory) {
    std::unique_ptr<DeviceLayer> layer = MakeServiceDeviceLayer();
    DeleteWantedFiles(*layer, wanted, &memory, &reply->names, &reply->error);
  };
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
}

bool TryPost(ReplyDelivery& delivery, std::unique_ptr<PtpReply>* reply) {
  try {
    return delivery.Post(reply);
  } catch (...) {
    std::cerr << "Exception while handing a reply to the platform thread.\n" << std::flush;
    return false;
  }
}

void HandOver(ReplyDelivery& delivery, std::unique_ptr<PtpReply> reply, BacklogRoom room) {
  for (int attempt = 1; attempt <= kReplyPostAttempts; ++attempt) {
    if (TryPost(delivery, &reply)) return;
    if (attempt < kReplyPostAttempts) std::this_thread::sleep_for(kReplyPostPause * attempt);
  }
  HoldBackPtpReply(std::move(reply), std::move(room));
}

}  // namespace

void StartPtpJob(std::vector<WantedFile> wanted, ReplyDelivery& delivery,
                 std::unique_ptr<flutter::MethodResult>* result) {
  auto job = std::make_unique<PtpJob>();
  job->wanted = std::move(wanted);
  job->reply = std::make_unique<PtpReply>();
  job->delivery = &delivery;
  job->turns = &CurrentDeletionTurns();
  job->backlog_room = MakeBacklogRoom();
  job->reply->result = std::move(*result);

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
    RunDeletionPass(job->wanted, job->reply.get(), *job->turns, /*may_wait=*/true);
  }
  HandOver(*job->delivery, std::move(job->reply), std::move(job->backlog_room));
}

void RunPtpRequestSynchronously(const std::vector<WantedFile>& wanted,
                                std::unique_ptr<PtpReply> reply) {
  RunDeletionPass(wanted, reply.get(), CurrentDeletionTurns(), /*may_wait=*/false);
  CompletePtpReply(std::move(reply));
}

}  // namespace camvey::ptp
