#include "ptp/device/delete_trace.h"

#include <cstdarg>
#include <cstdio>

namespace camvey::ptp {
namespace {

// Each thread's own: passes on different threads, of different services or tools, write
// to their own writers.
thread_local DeleteTraceWriter t_writer = nullptr;

}  // namespace

DeleteTraceWriter SetDeleteTraceWriter(DeleteTraceWriter writer) {
  const DeleteTraceWriter before = t_writer;
  t_writer = writer;
  return before;
}

void DeleteTrace(const char* format, ...) {
  const DeleteTraceWriter writer = t_writer;
  if (writer == nullptr) return;
  va_list arguments;
  va_start(arguments, format);
  va_list measure;
  va_copy(measure, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  std::string line;
  if (length > 0) {
    line.resize(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(line.data(), line.size(), format, arguments);
    line.resize(static_cast<std::size_t>(length));
  }
  va_end(arguments);
  writer(line);
}

}  // namespace camvey::ptp
