#include "ptp/device/wpd_device_layer_win.h"
#include "ptp/ptp_service.h"
#include "ptp/reply_window_win.h"

namespace camvey::ptp {

PtpServiceParts PlatformParts() {
  PtpServiceParts parts;
  parts.make_device_layer = &MakeWpdDeviceLayer;
  parts.wake_up = &ReplyWindowWakeUp();
  return parts;
}

}  // namespace camvey::ptp
