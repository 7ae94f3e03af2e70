#ifndef CAMVEY_PTP_DEVICE_WPD_DEVICE_LAYER_WIN_H_
#define CAMVEY_PTP_DEVICE_WPD_DEVICE_LAYER_WIN_H_

// The device layer over Windows Portable Devices: each operation is one WPD call on the
// objects the layer made, with the device's HRESULT passed back unchanged as the result.
// It decides nothing; the only things it adds are guards against a driver breaking its
// own contract, each turned into a failure of that one call:
// - GetDevices reporting more ids than the array holds: only the array is read;
// - a null string (an id, a name) from a call that succeeded: E_POINTER;
// - Next reporting an id count other than the one asked for: E_UNEXPECTED.
//
// Every object is used on the thread that made it, inside a COM apartment.

#include <memory>

#include "ptp/device/device_layer.h"

namespace camvey::ptp {

std::unique_ptr<DeviceLayer> MakeWpdDeviceLayer();

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_WPD_DEVICE_LAYER_WIN_H_
