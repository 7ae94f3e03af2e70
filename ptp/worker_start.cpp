#include "ptp/worker_start.h"

#include <new>
#include <system_error>
#include <thread>
#include <utility>

namespace camvey::ptp {
namespace {

WorkerStarter installed_starter = nullptr;

}  // namespace

bool StartDetachedThread(std::function<void()> body) {
  std::thread thread;
  try {
    thread = std::thread(std::move(body));
  } catch (const std::system_error&) {
    return false;
  } catch (const std::bad_alloc&) {
    // No memory for the thread's start record: the request is still answered, on the
    // spot, instead of the failure crossing the engine's callback.
    return false;
  }
  // A thread that has just started is joinable, so detaching it cannot fail.
  thread.detach();
  return true;
}

void SetWorkerStarter(WorkerStarter starter) { installed_starter = starter; }

bool StartWorker(std::function<void()> body) {
  WorkerStarter starter = installed_starter != nullptr ? installed_starter : &StartDetachedThread;
  return starter(std::move(body));
}

}  // namespace camvey::ptp
