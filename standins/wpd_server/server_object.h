#ifndef CAMVEY_STANDINS_WPD_SERVER_SERVER_OBJECT_H_
#define CAMVEY_STANDINS_WPD_SERVER_SERVER_OBJECT_H_

// IUnknown for the simulated server's objects, each counted among the live objects
// that tests expect back at zero after every pass.

#include <windows.h>
#include <wrl/client.h>

#include <atomic>
#include <new>
#include <utility>

namespace camvey::phone::wpd {

void ObjectCreated();
void ObjectDestroyed();

// An object that offers one interface besides IUnknown. It starts with one reference,
// owned by the code that made it (see MakeObject); the last Release destroys it.
template <typename Interface>
class ServerObject : public Interface {
 public:
  ServerObject() { ObjectCreated(); }
  virtual ~ServerObject() { ObjectDestroyed(); }
  ServerObject(const ServerObject&) = delete;
  ServerObject& operator=(const ServerObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid != __uuidof(IUnknown) && iid != __uuidof(Interface)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> references_{1};
};

// A new object owned by the returned pointer; null when memory ran out.
template <typename Object, typename... Args>
Microsoft::WRL::ComPtr<Object> MakeObject(Args&&... args) {
  Microsoft::WRL::ComPtr<Object> object;
  // Not Attach: mingw-w64's ComPtr::Attach adds a reference, which would leak it.
  *object.GetAddressOf() = new (std::nothrow) Object(std::forward<Args>(args)...);
  return object;
}

}  // namespace camvey::phone::wpd

#endif  // CAMVEY_STANDINS_WPD_SERVER_SERVER_OBJECT_H_
