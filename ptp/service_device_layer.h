#ifndef CAMVEY_PTP_SERVICE_DEVICE_LAYER_H_
#define CAMVEY_PTP_SERVICE_DEVICE_LAYER_H_

// Which device layer the service works through, on every platform. The program
// may install its layer at start-up (the simulated phone in development runs and
// tests). Without one the service uses the default: the Windows Portable Devices layer
// on Windows; elsewhere no device support at all, so "available" answers false and
// "deleteFiles" fails with "wpd_unavailable".

#include <functional>
#include <memory>

#include "ptp/device/device_layer.h"

namespace camvey::ptp {

// Makes a layer for one request. Called on the thread that will use the layer (a
// worker, inside its apartment, or the platform thread), possibly on several threads
// at once.
using DeviceLayerFactory = std::function<std::unique_ptr<DeviceLayer>()>;

// Installs `factory`; an empty one restores the default. Platform thread, while no job
// runs.
void SetServiceDeviceLayerFactory(DeviceLayerFactory factory);

// A layer from the installed factory; the layer without device support when there is
// no factory or it made nothing. Never null. Any thread.
std::unique_ptr<DeviceLayer> MakeServiceDeviceLayer();

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_SERVICE_DEVICE_LAYER_H_
