#include "ptp/ptp_channel.h"

#include <memory>

#include "messaging/method_channel.h"
#include "messaging/standard_method_codec.h"
#include "ptp/ptp_dispatch.h"

namespace camvey::ptp {
namespace {

// Made empty on first use; destroyed, with its channel, at exit.
std::unique_ptr<flutter::MethodChannel>& ChannelSlot() {
  static std::unique_ptr<flutter::MethodChannel> slot;
  return slot;
}

}  // namespace

void RegisterPtpChannel(flutter::FlutterEngine& engine) {
  std::unique_ptr<flutter::MethodChannel>& slot = ChannelSlot();
  slot = std::make_unique<flutter::MethodChannel>(engine.Messenger(), kPtpChannelName,
                                                  &flutter::StandardMethodCodec::GetInstance());
  slot->SetMethodCallHandler(&HandlePtpCall);
}

}  // namespace camvey::ptp
