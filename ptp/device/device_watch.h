#ifndef CAMVEY_PTP_DEVICE_DEVICE_WATCH_H_
#define CAMVEY_PTP_DEVICE_DEVICE_WATCH_H_

// Keeps a device that answered that it is gone (unplugged, hung, locked, no longer
// open) from being asked anything more. Each further call to such a device fails as
// well, possibly only after the system's device timeout, so a pass that went on asking
// would keep the application waiting for minutes and learn nothing.

#include <memory>

#include "ptp/device/device_layer.h"

namespace camvey::ptp {

// The first gone answer of one device. Used on the thread of the device's objects.
class DeviceWatch {
 public:
  DeviceWatch() = default;
  DeviceWatch(const DeviceWatch&) = delete;
  DeviceWatch& operator=(const DeviceWatch&) = delete;

  // Makes the call `ask` unless the device is gone already, and notes its result.
  // Gives the call's result, or the device's first gone answer without calling.
  template <typename Call>
  DeviceResult Ask(Call&& ask) {
    if (gone()) return gone_result_;
    const DeviceResult result = ask();
    if (DeviceGone(result)) gone_result_ = result;
    return result;
  }

  bool gone() const { return gone_result_ != kDeviceOk; }
  // The first gone answer; kDeviceOk while none came.
  DeviceResult gone_result() const { return gone_result_; }

 private:
  DeviceResult gone_result_ = kDeviceOk;
};

// `content` with every call made through `watch`, and so every object it hands out
// (properties, enumerators, property values, deletion results). `watch` must outlive
// the returned content and everything it hands out.
std::unique_ptr<DeviceContent> WatchContent(std::unique_ptr<DeviceContent> content,
                                            DeviceWatch& watch);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_DEVICE_WATCH_H_
