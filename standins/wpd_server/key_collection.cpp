#include "standins/wpd_server/key_collection.h"

#include "standins/wpd_server/sim_server.h"

namespace camvey::phone::wpd {

HRESULT STDMETHODCALLTYPE KeyCollection::GetCount(DWORD* count) {
  const ServerCall call("IPortableDeviceKeyCollection::GetCount");
  if (count == nullptr) return E_POINTER;
  *count = static_cast<DWORD>(keys_.size());
  return S_OK;
}

HRESULT STDMETHODCALLTYPE KeyCollection::GetAt(const DWORD index, PROPERTYKEY* key) {
  const ServerCall call("IPortableDeviceKeyCollection::GetAt");
  if (key == nullptr) return E_POINTER;
  if (index >= keys_.size()) return E_INVALIDARG;
  *key = keys_[index];
  return S_OK;
}

HRESULT STDMETHODCALLTYPE KeyCollection::Add(REFPROPERTYKEY key) {
  const ServerCall call("IPortableDeviceKeyCollection::Add");
  keys_.push_back(key);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE KeyCollection::Clear() {
  const ServerCall call("IPortableDeviceKeyCollection::Clear");
  keys_.clear();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE KeyCollection::RemoveAt(const DWORD index) {
  const ServerCall call("IPortableDeviceKeyCollection::RemoveAt");
  if (index >= keys_.size()) return E_INVALIDARG;
  keys_.erase(keys_.begin() + index);
  return S_OK;
}

}  // namespace camvey::phone::wpd
