// Away from Windows a worker needs no apartment.

#include "ptp/worker_apartment.h"

namespace camvey::ptp {

WorkerApartment::WorkerApartment() = default;

WorkerApartment::~WorkerApartment() = default;

}  // namespace camvey::ptp
