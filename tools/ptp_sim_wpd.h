#ifndef CAMVEY_TOOLS_PTP_SIM_WPD_H_
#define CAMVEY_TOOLS_PTP_SIM_WPD_H_

// camvey-ptp-sim's reach into Windows Portable Devices, which only the Windows build
// has: the service's own WPD layer, and the settings of the simulated WPD server
// (standins/wpd_server) that stands in for the system's classes under Wine.

#include <functional>
#include <string>

#include "ptp/device/device_layer.h"

namespace camvey::tools {

// Runs `work` with the WPD device layer inside a single-threaded COM apartment of the
// calling thread, as the service's worker does. False, without running it, where the
// build has no WPD.
bool WithWpdLayer(const std::function<void(ptp::DeviceLayer&)>& work);

// Points the simulated WPD server that this process may load at the phone file
// `phone_path`, and its write-back of the phone after each deletion request at
// `out_path` (none when empty). Must come before the first WPD object is made. False
// where the build has no WPD.
bool ServeSimulatedPhone(const std::string& phone_path, const std::string& out_path);

}  // namespace camvey::tools

#endif  // CAMVEY_TOOLS_PTP_SIM_WPD_H_
