#include "ptp/ptp_channel.h"

#include <memory>
#include <utility>

#include "messaging/method_channel.h"
#include "messaging/standard_method_codec.h"
#include "ptp/ptp_dispatch.h"

namespace camvey::ptp {

void RegisterPtpChannel(flutter::BinaryMessenger* messenger, PtpService& service) {
  flutter::MethodChannel& channel = service.KeepChannel(std::make_unique<flutter::MethodChannel>(
      messenger, kPtpChannelName, &flutter::StandardMethodCodec::GetInstance()));
  channel.SetMethodCallHandler(
      [&service](const flutter::MethodCall& call, std::unique_ptr<flutter::MethodResult> result) {
        HandlePtpCall(service, call, std::move(result));
      });
}

}  // namespace camvey::ptp
