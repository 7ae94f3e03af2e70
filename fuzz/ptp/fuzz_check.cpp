#include "fuzz/ptp/fuzz_check.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace camvey::fuzz {
namespace {

std::function<std::string()>& RunDescription() {
  static std::function<std::string()> describe;
  return describe;
}

// The checks named in CAMVEY_FUZZ_IGNORE, one digit each ("57"), so that a run can look
// past a known finding until its mend lands.
bool Ignored(int check) {
  static const char* const ignored = std::getenv("CAMVEY_FUZZ_IGNORE");
  return ignored != nullptr &&
         std::string(ignored).find(static_cast<char>('0' + check)) != std::string::npos;
}

}  // namespace

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
