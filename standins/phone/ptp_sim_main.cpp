#include <string>
#include <vector>

#include "standins/phone/ptp_sim.h"

int main(int argc, char** argv) {
  return camvey::phone::RunPtpSim(std::vector<std::string>(argv + 1, argv + argc));
}
