#include "ptp/default_device_layer.h"
#include "ptp/device/wpd_device_layer_win.h"

namespace camvey::ptp {

std::unique_ptr<DeviceLayer> MakeDefaultDeviceLayer() { return MakeWpdDeviceLayer(); }

}  // namespace camvey::ptp
