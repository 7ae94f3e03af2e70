#include "ptp/ptp_dispatch.h"

#include <string_view>
#include <utility>
#include <vector>

#include "messaging/encodable_value.h"
#include "ptp/device/device_layer.h"
#include "ptp/device/discovery.h"
#include "ptp/ptp_job.h"
#include "ptp/ptp_reply.h"
#include "ptp/reply_backlog.h"
#include "ptp/reply_delivery.h"
#include "ptp/service_device_layer.h"
#include "ptp/wanted_file.h"

namespace camvey::ptp {
namespace {

constexpr std::string_view kAvailable = "available";
constexpr std::string_view kDeleteFiles = "deleteFiles";

void HandleDeleteFiles(const flutter::MethodCall& call,
                       std::unique_ptr<flutter::MethodResult> result) {
  std::vector<WantedFile> wanted = ParseWantedFiles(call);
  if (wanted.empty()) {
    result->Success(flutter::EncodableValue(flutter::EncodableList()));
    return;
  }
  ReplyDelivery& delivery = CurrentReplyDelivery();
  if (delivery.Ready()) {
    StartPtpJob(std::move(wanted), delivery, std::move(result));
    return;
  }
  auto reply = std::make_unique<PtpReply>();
  reply->result = std::move(result);
  RunPtpRequestSynchronously(wanted, std::move(reply));
}

}  // namespace

void HandlePtpCall(const flutter::MethodCall& call, std::unique_ptr<flutter::MethodResult> result) {
  DeliverHeldBackPtpReplies();
  const std::string_view name = call.method_name();
  if (name == kAvailable) {
    result->Success(flutter::EncodableValue(IsPtpAvailable()));
  } else if (name == kDeleteFiles) {
    HandleDeleteFiles(call, std::move(result));
  } else {
    result->NotImplemented();
  }
}

bool IsPtpAvailable() {
  std::unique_ptr<DeviceLayer> layer = MakeServiceDeviceLayer();
  std::unique_ptr<DeviceManager> manager;
  if (DeviceFailed(layer->CreateManager(&manager)) || manager == nullptr) return false;
  return !ListAppleDevices(*manager).empty();
}

}  // namespace camvey::ptp
