#ifndef CAMVEY_FUZZ_PTP_FUZZ_CHECK_H_
#define CAMVEY_FUZZ_PTP_FUZZ_CHECK_H_

// A finding of the deletion-pass target: a broken check ends the run with the check's
// number, what it asserts, its file and line and the run so far, then aborts, so that libFuzzer
// keeps the input.

#include <functional>
#include <string>

namespace camvey::fuzz {

// Aborts with a report when `holds` is false.
void Check(bool holds, int check, const char* what, const char* file = __builtin_FILE(),
           int line = __builtin_LINE());

// True when CAMVEY_FUZZ_IGNORE names the check, which then never aborts.
bool Ignored(int check);

// Installs what describes the current run in a report; empty describes nothing.
void SetRunDescription(std::function<std::string()> describe);

}  // namespace camvey::fuzz

#endif  // CAMVEY_FUZZ_PTP_FUZZ_CHECK_H_
