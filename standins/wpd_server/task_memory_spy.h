#ifndef CAMVEY_STANDINS_WPD_SERVER_TASK_MEMORY_SPY_H_
#define CAMVEY_STANDINS_WPD_SERVER_TASK_MEMORY_SPY_H_

// Watches the process's task allocator so that the server can tell which of the
// blocks it handed to its callers were freed again with CoTaskMemFree.

#include <objidl.h>
#include <windows.h>

#include <mutex>
#include <set>

namespace camvey::phone::wpd {

class TaskMemorySpy : public IMallocSpy {
 public:
  // The spy of this process, registered with CoRegisterMallocSpy on first use; null
  // when the allocator refused it. It is never revoked: the allocator calls it until
  // the process ends, so the server's module stays loaded as well.
  static TaskMemorySpy* Installed();

  // Counts `block`, handed to a caller, until the caller frees it.
  void Track(const void* block);
  // Blocks tracked and not yet freed.
  int Outstanding() const;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
  void* STDMETHODCALLTYPE PostAlloc(void* actual) override { return actual; }
  void* STDMETHODCALLTYPE PreFree(void* request, BOOL spied) override;
  void STDMETHODCALLTYPE PostFree(BOOL /*spied*/) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** new_request,
                                      BOOL spied) override;
  void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL /*spied*/) override { return actual; }
  void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL /*spied*/) override { return request; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL /*spied*/) override { return actual; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL /*spied*/) override { return request; }
  int STDMETHODCALLTYPE PostDidAlloc(void* /*request*/, BOOL /*spied*/, int actual) override {
    return actual;
  }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}

 private:
  TaskMemorySpy() = default;
  void Forget(const void* block);

  // Its own lock, never held across a call out: the allocator calls the spy on every
  // thread, including threads that hold the server's lock.
  mutable std::mutex mutex_;
  std::set<const void*> tracked_;
};

}  // namespace camvey::phone::wpd

#endif  // CAMVEY_STANDINS_WPD_SERVER_TASK_MEMORY_SPY_H_
