#ifndef CAMVEY_FUZZ_PTP_RUN_DESCRIPTION_H_
#define CAMVEY_FUZZ_PTP_RUN_DESCRIPTION_H_

// A run of the deletion-pass target in words, to read a finding or a seed: each pass's
// request and household, what each device it opened listed, showed and was asked, which
// objects left it, what the pass reported; then what every device of a household or
// opened holds as far as the run drew it, and what of that cannot be read.

#include <string>
#include <vector>

#include "fuzz/ptp/pass_checks.h"

namespace camvey::fuzz {

// Borrows `phone`, whose devices it describes.
std::string DescribeRun(const std::vector<PassRecord>& run, FuzzedPhone* phone);

}  // namespace camvey::fuzz

#endif  // CAMVEY_FUZZ_PTP_RUN_DESCRIPTION_H_
