#include "ptp/device/wpd_device_layer_win.h"
#include "ptp/ptp_service.h"
#include "ptp/reply_delivery.h"

namespace camvey::ptp {

PtpServiceParts PlatformParts() {
  PtpServiceParts parts;
  parts.make_device_layer = &MakeWpdDeviceLayer;
  parts.delivery = &PlatformReplyDelivery();
  return parts;
}

}  // namespace camvey::ptp
