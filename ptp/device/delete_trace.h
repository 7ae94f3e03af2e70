#ifndef CAMVEY_PTP_DEVICE_DELETE_TRACE_H_
#define CAMVEY_PTP_DEVICE_DELETE_TRACE_H_

// The deletion pass's trace points. They write to the writer installed on the thread
// that runs the pass, and nothing where none is: the service installs its own for each
// pass it runs, and a support tool may install one to see why a photo was or was not
// deleted.

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

// Installs `writer` for the later trace points of the calling thread; null removes
// it. Returns the writer installed on the thread before, so that it can be put back.
DeleteTraceWriter SetDeleteTraceWriter(DeleteTraceWriter writer);

// Formats like printf and hands the line to the calling thread's writer, if any.
// Formats nothing when the thread has no writer.
void DeleteTrace(const char* format, ...) CAMVEY_PRINTF_FORMAT(1, 2);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_DELETE_TRACE_H_
