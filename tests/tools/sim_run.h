#ifndef CAMVEY_TESTS_TOOLS_SIM_RUN_H_
#define CAMVEY_TESTS_TOOLS_SIM_RUN_H_

// Runs camvey-ptp-sim in process and keeps what it printed. Test programs that include
// this define CAMVEY_PHONE_EXAMPLES, the folder of the example phone and request.

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/messaging/stderr_capture.h"
#include "tools/ptp_sim.h"

namespace camvey::tools {

struct SimRun {
  int exit_code = 0;
  std::string out;
  std::vector<std::string> err;  // one entry per flush
};

inline SimRun RunSim(const std::vector<std::string>& arguments) {
  std::ostringstream out;
  std::streambuf* previous = std::cout.rdbuf(out.rdbuf());
  StderrCapture err;
  SimRun run;
  run.exit_code = RunPtpSim(arguments);
  std::cout.rdbuf(previous);
  run.out = out.str();
  run.err = err.Flushes();
  return run;
}

inline std::string Example(const char* name) {
  return std::string(CAMVEY_PHONE_EXAMPLES) + "/" + name;
}

}  // namespace camvey::tools

#endif  // CAMVEY_TESTS_TOOLS_SIM_RUN_H_
