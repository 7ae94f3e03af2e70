#include "ptp/device/delete_trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace camvey::ptp {
namespace {

std::atomic<DeleteTraceWriter> g_writer{nullptr};

}  // namespace

void SetDeleteTraceWriter(DeleteTraceWriter writer) { g_writer.store(writer); }

void DeleteTrace(const char* format, ...) {
  const DeleteTraceWriter writer = g_writer.load();
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
