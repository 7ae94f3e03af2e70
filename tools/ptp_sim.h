#ifndef CAMVEY_TOOLS_PTP_SIM_H_
#define CAMVEY_TOOLS_PTP_SIM_H_

// camvey-ptp-sim: runs "deleteFiles" requests against a simulated phone, or scans the
// attached Apple phones into a phone file.
//
//   camvey-ptp-sim PHONE.json REQUEST.json [REQUEST.json ...] [--write-phone OUT.json]
//                  [--through-wpd]
//   camvey-ptp-sim scan [OUT.json]
//
// Requests run in order in one process, as the service meets them, with one memory of
// what was sent for deletion. For each, standard output has one "deleted: <name>" line
// per deleted object, in order, then "error: <code>" or "error: none", which ends that
// request's output; standard error the deletion passes' trace lines. With --through-wpd
// (Windows build) the passes run through the service's WPD layer against the simulated
// WPD server serving PHONE.json, with the same output. Exit code 0 after the passes,
// whatever their outcome; 2 with one line on standard error naming the file and the
// problem when the program's own input is unusable (then no pass runs).
//
// A scan (Windows build) walks every Apple device through the WPD layer, read-only, and
// writes the phone file to OUT.json or standard output; problems, then one line per
// storage saying where its camera roll lies, are "scan: ..." lines on standard error.
// Exit code 0 when written, 1 when no device manager or key set could be made, 2 when
// the output cannot be written.

#include <string>
#include <vector>

namespace camvey::tools {

// The program, given its arguments without the program name. Writes to std::cout and
// std::cerr, and installs its trace writer only while it runs.
int RunPtpSim(const std::vector<std::string>& arguments);

}  // namespace camvey::tools

#endif  // CAMVEY_TOOLS_PTP_SIM_H_
