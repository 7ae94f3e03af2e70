#include "standins/wpd_server/prop_variant_collection.h"

#include <utility>

#include "standins/wpd_server/sim_server.h"

namespace camvey::phone::wpd {
namespace {

// True when an object of that id, on any device, refuses to have its id copied.
bool CopyRefused(const Phone* phone, const wchar_t* object_id) {
  if (phone == nullptr || object_id == nullptr) return false;
  const std::u16string id(reinterpret_cast<const char16_t*>(object_id));
  for (const SimDevice& device : phone->devices) {
    const SimObject* object = device.Find(id);
    if (object != nullptr && object->faults.copy_id) return true;
  }
  return false;
}

}  // namespace

Microsoft::WRL::ComPtr<PropVariantCollection> PropVariantCollection::DeleteResults(
    const std::vector<std::optional<HRESULT>>& statuses, std::vector<bool> element_fails,
    bool count_fails) {
  auto results = MakeObject<PropVariantCollection>();
  if (results == nullptr) return results;
  for (const std::optional<HRESULT>& status : statuses) {
    ptp::PropVariantHolder element;
    if (status.has_value()) {
      PROPVARIANT* raw = element.Receive();
      raw->vt = VT_ERROR;
      raw->scode = *status;
    }
    results->values_.push_back(std::move(element));
  }
  results->element_fails_ = std::move(element_fails);
  results->element_fails_.resize(statuses.size(), false);
  results->count_fails_ = count_fails;
  return results;
}

HRESULT STDMETHODCALLTYPE PropVariantCollection::GetCount(DWORD* count) {
  const ServerCall call("IPortableDevicePropVariantCollection::GetCount");
  if (count == nullptr) return E_POINTER;
  if (count_fails_) return E_FAIL;
  *count = static_cast<DWORD>(values_.size());
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropVariantCollection::GetAt(const DWORD index, PROPVARIANT* value) {
  const ServerCall call("IPortableDevicePropVariantCollection::GetAt");
  if (value == nullptr) return E_POINTER;
  if (index >= values_.size()) return E_INVALIDARG;
  if (index < element_fails_.size() && element_fails_[index]) return E_FAIL;
  const HRESULT copied = PropVariantCopy(value, &values_[index].get());
  if (FAILED(copied)) return copied;
  call.server().HandOut(*value);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropVariantCollection::Add(const PROPVARIANT* value) {
  const ServerCall call("IPortableDevicePropVariantCollection::Add");
  if (value == nullptr) return E_POINTER;
  if (value->vt == VT_LPWSTR && CopyRefused(call.server().phone(), value->pwszVal)) {
    return E_OUTOFMEMORY;
  }
  ptp::PropVariantHolder copy;
  const HRESULT copied = PropVariantCopy(copy.Receive(), value);
  if (FAILED(copied)) return copied;
  values_.push_back(std::move(copy));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropVariantCollection::GetType(VARTYPE* /*type*/) {
  return NotImplemented("IPortableDevicePropVariantCollection::GetType");
}

HRESULT STDMETHODCALLTYPE PropVariantCollection::ChangeType(const VARTYPE /*type*/) {
  return NotImplemented("IPortableDevicePropVariantCollection::ChangeType");
}

HRESULT STDMETHODCALLTYPE PropVariantCollection::Clear() {
  const ServerCall call("IPortableDevicePropVariantCollection::Clear");
  values_.clear();
  element_fails_.clear();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropVariantCollection::RemoveAt(const DWORD index) {
  const ServerCall call("IPortableDevicePropVariantCollection::RemoveAt");
  if (index >= values_.size()) return E_INVALIDARG;
  values_.erase(values_.begin() + index);
  if (index < element_fails_.size()) element_fails_.erase(element_fails_.begin() + index);
  return S_OK;
}

}  // namespace camvey::phone::wpd
