#include "ptp/default_device_layer.h"

namespace camvey::ptp {

// Away from Windows there are no portable devices to reach.
std::unique_ptr<DeviceLayer> MakeDefaultDeviceLayer() { return nullptr; }

}  // namespace camvey::ptp
