#include <string>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#endif

#include "tools/ptp_sim.h"

int main(int argc, char** argv) {
#if defined(_WIN32)
  // Lines end in "\n" on every platform, so that a run under Windows prints byte for
  // byte what the same run prints elsewhere.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  return camvey::tools::RunPtpSim(std::vector<std::string>(argv + 1, argv + argc));
}
