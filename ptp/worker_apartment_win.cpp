#include <objbase.h>
#include <windows.h>

#include "ptp/worker_apartment.h"

namespace camvey::ptp {

WorkerApartment::WorkerApartment()
    : entered_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

WorkerApartment::~WorkerApartment() {
  if (entered_) CoUninitialize();
}

}  // namespace camvey::ptp
