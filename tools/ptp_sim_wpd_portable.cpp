#include "tools/ptp_sim_wpd.h"

namespace camvey::tools {

bool WithWpdLayer(const std::function<void(ptp::DeviceLayer&)>&) { return false; }

bool ServeSimulatedPhone(const std::string&, const std::string&) { return false; }

}  // namespace camvey::tools
