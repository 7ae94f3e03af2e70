#ifndef CAMVEY_PTP_DEVICE_DELETE_TRACE_H_
#define CAMVEY_PTP_DEVICE_DELETE_TRACE_H_

// The deletion pass's trace points. The service installs no writer, so they write
// nothing; a support tool may install one to see why a photo was or was not deleted.

#include <string>

#if defined(__GNUC__)
#define CAMVEY_PRINTF_FORMAT(format_index, first_argument) \
  __attribute__((format(printf, format_index, first_argument)))
#else
#define CAMVEY_PRINTF_FORMAT(format_index, first_argument)
#endif

namespace camvey::ptp {

// Receives one formatted trace line, without a line end. Called on the thread that
// runs the pass.
using DeleteTraceWriter = void (*)(const std::string& line);

// Installs `writer` for every later trace point, on any thread; null removes it.
void SetDeleteTraceWriter(DeleteTraceWriter writer);

// Formats like printf and hands the line to the installed writer, if any. Formats
// nothing when no writer is installed.
void DeleteTrace(const char* format, ...) CAMVEY_PRINTF_FORMAT(1, 2);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_DELETE_TRACE_H_
