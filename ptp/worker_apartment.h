#ifndef CAMVEY_PTP_WORKER_APARTMENT_H_
#define CAMVEY_PTP_WORKER_APARTMENT_H_

// A worker's own single-threaded COM apartment, entered for the life of the object, in
// which the worker makes and uses its device objects. Away from Windows there is no
// COM and the object does nothing.

namespace camvey::ptp {

class WorkerApartment {
 public:
  // Enters the apartment. A failure is not an error here: the device layer then fails
  // to make its objects and the deletion pass reports that.
  WorkerApartment();
  // Leaves the apartment if it was entered. Every device object of the thread must be
  // gone by then.
  ~WorkerApartment();

  WorkerApartment(const WorkerApartment&) = delete;
  WorkerApartment& operator=(const WorkerApartment&) = delete;

  // True when the apartment was entered (also when the thread was in one already).
  bool entered() const { return entered_; }

 private:
  bool entered_ = false;
};

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_WORKER_APARTMENT_H_
