#include "ptp/ptp_dispatch.h"

#include <chrono>
#include <iostream>
#include <string_view>
#include <utility>
#include <vector>

#include "messaging/encodable_value.h"
#include "ptp/device/deletion_pass.h"
#include "ptp/device/device_layer.h"
#include "ptp/device/discovery.h"
#include "ptp/ptp_job.h"
#include "ptp/ptp_reply.h"
#include "ptp/reply_queue.h"
#include "ptp/request/wanted_file.h"

namespace camvey::ptp {
namespace {

constexpr std::string_view kAvailable = "available";
constexpr std::string_view kDeleteFiles = "deleteFiles";

// Takes `*result` over only where nothing can throw any more; until then an exception
// leaves it with the caller, which answers it.
void HandleDeleteFiles(PtpService& service, const flutter::MethodCall& call,
                       std::unique_ptr<flutter::MethodResult>* result) {
  std::vector<WantedFile> wanted = ParseWantedFiles(call);
  if (wanted.empty()) {
    (*result)->Success(flutter::EncodableValue(flutter::EncodableList()));
    return;
  }
  ReplyWakeUp* const wake_up = service.wake_up();
  if (wake_up == nullptr || wake_up->Ready()) {
    StartPtpJob(service, std::move(wanted), result);
    return;
  }
  PtpReply reply;
  reply.result = std::move(*result);
  RunPtpRequestSynchronously(service, wanted, std::move(reply));
}

// Answers a call whose handling threw, if its result is still here. Nothing has been
// deleted for such a call: the deletion pass keeps its own exceptions, and a request
// whose pass has started no longer has its result here.
void AnswerAfterException(std::string_view name, std::unique_ptr<flutter::MethodResult> result) {
  std::cerr << "Exception in the handler of camvey/ptp.\n" << std::flush;
  if (result == nullptr) return;
  try {
    if (name == kAvailable) {
      result->Success(flutter::EncodableValue(false));
    } else if (name == kDeleteFiles) {
      result->Error(kPtpFailed, kErrorDeviceBusy, nullptr);
    } else {
      result->NotImplemented();
    }
  } catch (...) {
    // The result goes unanswered and reports itself as it is destroyed.
  }
}

}  // namespace

void HandlePtpCall(PtpService& service, const flutter::MethodCall& call,
                   std::unique_ptr<flutter::MethodResult> result) {
  const std::string_view name = call.method_name();
  try {
    service.replies()->DeliverQueued(std::chrono::milliseconds(0));
    if (name == kAvailable) {
      result->Success(flutter::EncodableValue(IsPtpAvailable(service.parts())));
    } else if (name == kDeleteFiles) {
      HandleDeleteFiles(service, call, &result);
    } else {
      result->NotImplemented();
    }
  } catch (...) {
    AnswerAfterException(name, std::move(result));
  }
}

bool IsPtpAvailable(const PtpServiceParts& parts) {
  std::unique_ptr<DeviceLayer> layer = parts.MakeDeviceLayer();
  std::unique_ptr<DeviceManager> manager;
  if (DeviceFailed(layer->CreateManager(&manager)) || manager == nullptr) return false;
  return !ListAppleDevices(*manager).empty();
}

}  // namespace camvey::ptp
