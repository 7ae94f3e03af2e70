#include "fuzz/ptp/fuzz_check.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <utility>

namespace camvey::fuzz {
namespace {

std::function<std::string()>& RunDescription() {
  static std::function<std::string()> describe;
  return describe;
}

}  // namespace

// The checks named in CAMVEY_FUZZ_IGNORE, numbers separated by commas ("5,7,10"), so
// that a run can look past a known finding until its mend lands.
bool Ignored(int check) {
  static const std::set<int> ignored = [] {
    std::set<int> numbers;
    const char* text = std::getenv("CAMVEY_FUZZ_IGNORE");
    while (text != nullptr && *text != '\0') {
      char* end = nullptr;
      const long number = std::strtol(text, &end, 10);
      if (end == text) break;
      numbers.insert(static_cast<int>(number));
      text = *end == ',' ? end + 1 : end;
    }
    return numbers;
  }();
  return ignored.count(check) != 0;
}

void Check(bool holds, int check, const char* what, const char* file, int line) {
  if (holds || Ignored(check)) return;
  // Taken out first, so that a check broken while describing the run cannot recurse.
  const std::function<std::string()> describe = std::move(RunDescription());
  RunDescription() = nullptr;
  if (describe) std::fputs(describe().c_str(), stderr);
  std::fprintf(stderr, "finding: check %d broken at %s:%d: %s\n", check, file, line, what);
  std::abort();
}

void SetRunDescription(std::function<std::string()> describe) {
  RunDescription() = std::move(describe);
}

}  // namespace camvey::fuzz
