// Away from Windows there are no portable devices to reach, and the platform thread's
// loop drains the reply queue by itself.

#include "ptp/ptp_service.h"

namespace camvey::ptp {

PtpServiceParts PlatformParts() {
  PtpServiceParts parts;
  parts.trace_writer = &WriteTraceLine;
  return parts;
}

}  // namespace camvey::ptp
