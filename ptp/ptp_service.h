#ifndef CAMVEY_PTP_PTP_SERVICE_H_
#define CAMVEY_PTP_PTP_SERVICE_H_

// The clean-up service's process-wide state, in one object: the parts it works through,
// the passes' turns with their memory of what was sent for deletion, the queue of
// finished replies and the slot of its channel. Tests replace the parts in one place,
// ScopedPtpServiceParts; nothing else of the service is replaceable.

#include <functional>
#include <memory>

#include "messaging/method_channel.h"
#include "ptp/deletion_turns.h"
#include "ptp/device/device_layer.h"
#include "ptp/reply_queue.h"

namespace camvey::ptp {

// Runs `body` on a new thread that nobody waits for and returns true, or returns false
// when no thread could be started; `body` has then not run and is destroyed. `body`
// must therefore own nothing that the caller needs back.
using WorkerStarter = bool (*)(std::function<void()> body);

// Starts a detached thread with the default stack size.
bool StartDetachedThread(std::function<void()> body);

// What the service works through. A job copies the parts when it starts and keeps its
// copy to its end, so what they point to must outlive every job started with them.
struct PtpServiceParts {
  // Makes the device layer of one request, on the thread that will use it (a worker,
  // inside its apartment, or the platform thread), possibly on several threads at once.
  std::function<std::unique_ptr<DeviceLayer>()> make_device_layer;
  // Starts the worker of a job.
  WorkerStarter start_worker = &StartDetachedThread;
  // How a worker wakes the platform thread once its reply is queued; null where the
  // platform thread's loop drains the queue by itself.
  ReplyWakeUp* wake_up = nullptr;
  // Whose turn a pass waits for, and the memory the passes share; never null in the
  // parts in force.
  DeletionTurns* turns = nullptr;

  // A layer from make_device_layer; the layer without device support when there is no
  // factory or it made nothing, so that no manager can be made. Never null.
  std::unique_ptr<DeviceLayer> MakeDeviceLayer() const;
};

// The parts of this platform but the turns: on Windows the Windows Portable Devices
// layer and the reply window's wake-up; elsewhere no device support at all ("available"
// answers false and "deleteFiles" fails with "wpd_unavailable") and no wake-up.
PtpServiceParts PlatformParts();

class PtpService {
 public:
  // The process's service, made on first use. Never destroyed: a worker may still take
  // its turn or queue its reply while the process exits. Its channel alone goes at
  // exit.
  static PtpService& Process();

  PtpService(const PtpService&) = delete;
  PtpService& operator=(const PtpService&) = delete;

  // The parts that requests use from now on: a test's replacement while one is in
  // place, else the platform's with the service's own turns. Platform thread.
  const PtpServiceParts& parts() const;

  // Finished replies waiting for the platform thread.
  ReplyQueue& replies() { return replies_; }

  // The channel slot: keeps `channel` until the next call or the process's exit, when
  // it is destroyed without a messenger call, and returns it; destroys the channel kept
  // before. Platform thread.
  flutter::MethodChannel& KeepChannel(std::unique_ptr<flutter::MethodChannel> channel);

 private:
  friend class ScopedPtpServiceParts;

  PtpService();

  DeletionTurns turns_;
  ReplyQueue replies_;
  PtpServiceParts own_parts_;
  const PtpServiceParts* replaced_parts_ = nullptr;
  std::unique_ptr<flutter::MethodChannel> channel_;
};

// Replaces the process service's parts for its own life, starting from those in force,
// and puts the earlier ones back when it goes. The parts may be changed through parts()
// on the platform thread at any time: a running job keeps its copy. Tests.
class ScopedPtpServiceParts {
 public:
  ScopedPtpServiceParts();
  ~ScopedPtpServiceParts();

  ScopedPtpServiceParts(const ScopedPtpServiceParts&) = delete;
  ScopedPtpServiceParts& operator=(const ScopedPtpServiceParts&) = delete;

  PtpServiceParts& parts() { return parts_; }

 private:
  PtpServiceParts parts_;
  const PtpServiceParts* previous_;
};

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_PTP_SERVICE_H_
