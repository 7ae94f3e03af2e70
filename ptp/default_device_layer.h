#ifndef CAMVEY_PTP_DEFAULT_DEVICE_LAYER_H_
#define CAMVEY_PTP_DEFAULT_DEVICE_LAYER_H_

// The device layer the service uses when the program installs none: Windows Portable
// Devices on Windows, nothing (null) elsewhere.

#include <memory>

#include "ptp/device/device_layer.h"

namespace camvey::ptp {

std::unique_ptr<DeviceLayer> MakeDefaultDeviceLayer();

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEFAULT_DEVICE_LAYER_H_
