#ifndef CAMVEY_STANDINS_PHONE_PTP_SIM_H_
#define CAMVEY_STANDINS_PHONE_PTP_SIM_H_

// camvey-ptp-sim: runs one "deleteFiles" request against a simulated phone.
//
//   camvey-ptp-sim PHONE.json REQUEST.json [--write-phone OUT.json]
//
// Standard output: one "deleted: <name>" line per deleted object, in order, then
// "error: <code>" or "error: none". Standard error: the deletion pass's trace lines.
// Exit code 0 after a pass, whatever its outcome; 2 with one line on standard error
// naming the file and the problem when the program's own input is unusable.

#include <string>
#include <vector>

namespace camvey::phone {

// The program, given its arguments without the program name. Writes to std::cout and
// std::cerr, and installs its trace writer only while it runs.
int RunPtpSim(const std::vector<std::string>& arguments);

}  // namespace camvey::phone

#endif  // CAMVEY_STANDINS_PHONE_PTP_SIM_H_
