#include "standins/wpd_server/task_memory_spy.h"

namespace camvey::phone::wpd {

TaskMemorySpy* TaskMemorySpy::Installed() {
  // Made once and never destroyed: the allocator keeps calling it until the process ends.
  static TaskMemorySpy* const spy = [] {
    auto* candidate = new TaskMemorySpy();
    const HRESULT registered = CoRegisterMallocSpy(candidate);
    if (FAILED(registered)) return static_cast<TaskMemorySpy*>(nullptr);
    // The allocator now calls into this module: it must never unload.
    HMODULE self = nullptr;
    const BOOL pinned =
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCWSTR>(&TaskMemorySpy::Installed), &self);
    static_cast<void>(pinned);
    return candidate;
  }();
  return spy;
}

void TaskMemorySpy::Track(const void* block) {
  if (block == nullptr) return;
  const std::lock_guard<std::mutex> lock(mutex_);
  tracked_.insert(block);
}

int TaskMemorySpy::Outstanding() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(tracked_.size());
}

void TaskMemorySpy::Forget(const void* block) {
  const std::lock_guard<std::mutex> lock(mutex_);
  tracked_.erase(block);
}

HRESULT STDMETHODCALLTYPE TaskMemorySpy::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid != __uuidof(IUnknown) && iid != __uuidof(IMallocSpy)) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  *object = static_cast<IMallocSpy*>(this);
  return S_OK;
}

void* STDMETHODCALLTYPE TaskMemorySpy::PreFree(void* request, BOOL /*spied*/) {
  Forget(request);
  return request;
}

SIZE_T STDMETHODCALLTYPE TaskMemorySpy::PreRealloc(void* request, SIZE_T size, void** new_request,
                                                   BOOL /*spied*/) {
  // A block that moves or shrinks to nothing has left the caller's hands as it was.
  Forget(request);
  *new_request = request;
  return size;
}

}  // namespace camvey::phone::wpd
