#include <memory>

#include "ptp/device/wpd_device_layer_win.h"
#include "ptp/ptp_service.h"
#include "ptp/reply_window_win.h"

namespace camvey::ptp {

PtpServiceParts PlatformParts() {
  PtpServiceParts parts;
  parts.make_device_layer = &MakeWpdDeviceLayer;
  parts.make_wake_up = [](ReplyQueue& replies) { return std::make_unique<ReplyWindow>(replies); };
  parts.trace_writer = &WriteTraceLine;
  return parts;
}

}  // namespace camvey::ptp
