#include "ptp/ptp_channel.h"

#include <memory>

#include "messaging/method_channel.h"
#include "messaging/standard_method_codec.h"
#include "ptp/ptp_dispatch.h"
#include "ptp/ptp_service.h"

namespace camvey::ptp {

void RegisterPtpChannel(flutter::FlutterEngine& engine) {
  flutter::MethodChannel& channel =
      PtpService::Process().KeepChannel(std::make_unique<flutter::MethodChannel>(
          engine.Messenger(), kPtpChannelName, &flutter::StandardMethodCodec::GetInstance()));
  channel.SetMethodCallHandler(&HandlePtpCall);
}

}  // namespace camvey::ptp
