#ifndef CAMVEY_PTP_PTP_SERVICE_H_
#define CAMVEY_PTP_PTP_SERVICE_H_

// The clean-up service's state, in one object that its owner (the host window) makes
// with the parts it works through: the passes' turns with their memory of what was
// sent for deletion, the queue of finished replies with the wake-up that drains it, and
// the slot of its channel. A worker holds the turns and the queue by shared ownership,
// so that it may finish after the service is gone.

#include <functional>
#include <memory>
#include <string>

#include "messaging/method_channel.h"
#include "ptp/deletion_turns.h"
#include "ptp/device/delete_trace.h"
#include "ptp/device/device_layer.h"
#include "ptp/reply_queue.h"

namespace camvey::ptp {

// Runs `body` on a new thread that nobody waits for and returns true, or returns false
// when no thread could be started; `body` has then not run and is destroyed. `body`
// must therefore own nothing that the caller needs back.
using WorkerStarter = std::function<bool(std::function<void()> body)>;

// Starts a detached thread with the default stack size.
bool StartDetachedThread(std::function<void()> body);

// The service's trace writer: one line on the standard error stream, written whole and
// flushed, beside the host's other diagnostic lines. Any thread.
void WriteTraceLine(const std::string& line);

// What the service works through. A job copies the parts when it starts and keeps its
// copy to its end, so what they point to must outlive every job started with them.
struct PtpServiceParts {
  // Makes the device layer of one request, on the thread that will use it (a worker,
  // inside its apartment, or the platform thread), possibly on several threads at once.
  std::function<std::unique_ptr<DeviceLayer>()> make_device_layer;
  // Starts the worker of a job.
  WorkerStarter start_worker = &StartDetachedThread;
  // Makes, once, the wake-up through which the service's queue wakes the platform
  // thread; the wake-up drains `replies` (the service's queue, which outlives it) there.
  // Empty, or making nothing, where the platform thread's loop drains the queue itself.
  std::function<std::unique_ptr<ReplyWakeUp>(ReplyQueue& replies)> make_wake_up;
  // Receives the trace lines of every pass; null: the passes write none.
  DeleteTraceWriter trace_writer = nullptr;

  // A layer from make_device_layer; the layer without device support when there is no
  // factory or it made nothing, so that no manager can be made. Never null.
  std::unique_ptr<DeviceLayer> MakeDeviceLayer() const;
};

// The parts of this platform: on Windows the Windows Portable Devices layer and the
// reply window; elsewhere no device support at all ("available" answers false and
// "deleteFiles" fails with "wpd_unavailable") and no wake-up. On both the trace goes to
// the standard error stream (WriteTraceLine).
PtpServiceParts PlatformParts();

// Made, used and destroyed on the platform thread.
class PtpService {
 public:
  explicit PtpService(PtpServiceParts parts);
  // Answers the replies still queued (an answer whose engine is gone is dropped by its
  // messenger) and destroys the wake-up and the channel, the latter without a messenger
  // call: the messenger must deliver no more calls on it. A worker still running keeps
  // the turns and the queue; its reply dies unanswered with the queue when it ends.
  ~PtpService();

  PtpService(const PtpService&) = delete;
  PtpService& operator=(const PtpService&) = delete;

  // The parts that requests use.
  const PtpServiceParts& parts() const { return parts_; }

  // Null where the platform thread's loop drains the queue by itself.
  ReplyWakeUp* wake_up() const { return wake_up_.get(); }

  // Finished replies waiting for the platform thread.
  const std::shared_ptr<ReplyQueue>& replies() const { return replies_; }

  // Whose turn a pass waits for, and the memory the passes share.
  const std::shared_ptr<DeletionTurns>& turns() const { return turns_; }

  // The channel slot: keeps `channel` until the next call or the service's end, when
  // it is destroyed without a messenger call, and returns it; destroys the channel kept
  // before.
  flutter::MethodChannel& KeepChannel(std::unique_ptr<flutter::MethodChannel> channel);

 private:
  const PtpServiceParts parts_;
  const std::shared_ptr<DeletionTurns> turns_;
  const std::shared_ptr<ReplyQueue> replies_;
  std::unique_ptr<ReplyWakeUp> wake_up_;
  std::unique_ptr<flutter::MethodChannel> channel_;
};

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_PTP_SERVICE_H_
