#ifndef CAMVEY_PTP_WORKER_START_H_
#define CAMVEY_PTP_WORKER_START_H_

// How the service starts the worker thread of a job.

#include <functional>

namespace camvey::ptp {

// Runs `body` on a new thread that nobody waits for and returns true, or returns false
// when no thread could be started; `body` has then not run and is destroyed. `body`
// must therefore own nothing that the caller needs back.
using WorkerStarter = bool (*)(std::function<void()> body);

// Starts a detached thread with the default stack size.
bool StartDetachedThread(std::function<void()> body);

// Installs the starter that jobs use; null restores StartDetachedThread. Platform
// thread.
void SetWorkerStarter(WorkerStarter starter);

// Starts `body` with the installed starter. Platform thread.
bool StartWorker(std::function<void()> body);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_WORKER_START_H_
