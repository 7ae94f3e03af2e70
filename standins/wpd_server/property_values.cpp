#include "standins/wpd_server/property_values.h"

#include <algorithm>
#include <cstring>

#include "standins/wpd_server/sim_server.h"

namespace camvey::phone::wpd {
namespace {

constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);

bool SameKey(const PROPERTYKEY& lhs, const PROPERTYKEY& rhs) {
  return lhs.fmtid == rhs.fmtid && lhs.pid == rhs.pid;
}

}  // namespace

void PropertyValues::Put(const PROPERTYKEY& key, ptp::PropVariantHolder value) {
  const ServerCall call(nullptr);
  for (auto& entry : entries_) {
    if (SameKey(entry.first, key)) {
      entry.second = std::move(value);
      return;
    }
  }
  entries_.emplace_back(key, std::move(value));
}

const PROPVARIANT* PropertyValues::Find(const PROPERTYKEY& key) const {
  for (const auto& entry : entries_) {
    if (SameKey(entry.first, key)) return &entry.second.get();
  }
  return nullptr;
}

HRESULT PropertyValues::Typed(const PROPERTYKEY& key, VARTYPE type,
                              const PROPVARIANT** value) const {
  const PROPVARIANT* found = Find(key);
  if (found == nullptr) return kNotFound;
  if (found->vt == type) {
    *value = found;
    return S_OK;
  }
  // An error value (a property the device could not read) is of the wrong type too.
  return DISP_E_TYPEMISMATCH;
}

HRESULT STDMETHODCALLTYPE PropertyValues::GetCount(DWORD* count) {
  const ServerCall call("IPortableDeviceValues::GetCount");
  if (count == nullptr) return E_POINTER;
  *count = static_cast<DWORD>(entries_.size());
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyValues::GetAt(DWORD index, PROPERTYKEY* key, PROPVARIANT* value) {
  const ServerCall call("IPortableDeviceValues::GetAt");
  if (index >= entries_.size()) return E_INVALIDARG;
  if (key != nullptr) *key = entries_[index].first;
  if (value != nullptr) {
    const HRESULT copied = PropVariantCopy(value, &entries_[index].second.get());
    if (FAILED(copied)) return copied;
    call.server().HandOut(*value);
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyValues::SetValue(REFPROPERTYKEY key, const PROPVARIANT* value) {
  const ServerCall call("IPortableDeviceValues::SetValue");
  if (value == nullptr) return E_POINTER;
  ptp::PropVariantHolder copy;
  const HRESULT copied = PropVariantCopy(copy.Receive(), value);
  if (FAILED(copied)) return copied;
  Put(key, std::move(copy));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyValues::GetValue(REFPROPERTYKEY key, PROPVARIANT* value) {
  const ServerCall call("IPortableDeviceValues::GetValue");
  if (value == nullptr) return E_POINTER;
  const PROPVARIANT* found = Find(key);
  if (found == nullptr) return kNotFound;
  const HRESULT copied = PropVariantCopy(value, found);
  if (FAILED(copied)) return copied;
  call.server().HandOut(*value);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyValues::SetStringValue(REFPROPERTYKEY key, LPCWSTR value) {
  const ServerCall call("IPortableDeviceValues::SetStringValue");
  if (value == nullptr) return E_POINTER;
  ptp::PropVariantHolder text;
  PROPVARIANT* raw = text.Receive();
  const std::size_t bytes = (std::wcslen(value) + 1) * sizeof(wchar_t);
  raw->pwszVal = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (raw->pwszVal == nullptr) return E_OUTOFMEMORY;
  std::memcpy(raw->pwszVal, value, bytes);
  raw->vt = VT_LPWSTR;
  Put(key, std::move(text));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyValues::GetStringValue(REFPROPERTYKEY key, LPWSTR* value) {
  const ServerCall call("IPortableDeviceValues::GetStringValue");
  if (value == nullptr) return E_POINTER;
  const PROPVARIANT* found = nullptr;
  const HRESULT typed = Typed(key, VT_LPWSTR, &found);
  if (FAILED(typed)) return typed;
  if (found->pwszVal == nullptr) {
    *value = nullptr;
    return S_OK;
  }
  *value = call.server().HandOutString(found->pwszVal);
  return *value == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyValues::SetUnsignedIntegerValue(REFPROPERTYKEY key, ULONG value) {
  const ServerCall call("IPortableDeviceValues::SetUnsignedIntegerValue");
  ptp::PropVariantHolder number;
  PROPVARIANT* raw = number.Receive();
  raw->vt = VT_UI4;
  raw->ulVal = value;
  Put(key, std::move(number));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyValues::GetUnsignedIntegerValue(REFPROPERTYKEY key,
                                                                  ULONG* value) {
  const ServerCall call("IPortableDeviceValues::GetUnsignedIntegerValue");
  if (value == nullptr) return E_POINTER;
  const PROPVARIANT* found = nullptr;
  const HRESULT typed = Typed(key, VT_UI4, &found);
  if (FAILED(typed)) return typed;
  *value = found->ulVal;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyValues::GetUnsignedLargeIntegerValue(REFPROPERTYKEY key,
                                                                       ULONGLONG* value) {
  const ServerCall call("IPortableDeviceValues::GetUnsignedLargeIntegerValue");
  if (value == nullptr) return E_POINTER;
  const PROPVARIANT* found = nullptr;
  const HRESULT typed = Typed(key, VT_UI8, &found);
  if (FAILED(typed)) return typed;
  *value = found->uhVal.QuadPart;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyValues::GetBoolValue(REFPROPERTYKEY key, BOOL* value) {
  const ServerCall call("IPortableDeviceValues::GetBoolValue");
  if (value == nullptr) return E_POINTER;
  const PROPVARIANT* found = nullptr;
  const HRESULT typed = Typed(key, VT_BOOL, &found);
  if (FAILED(typed)) return typed;
  // A VT_BOOL holds VARIANT_TRUE (-1) or VARIANT_FALSE; a BOOL is TRUE or FALSE.
  *value = found->boolVal != VARIANT_FALSE ? TRUE : FALSE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyValues::SetErrorValue(REFPROPERTYKEY key, HRESULT value) {
  const ServerCall call("IPortableDeviceValues::SetErrorValue");
  ptp::PropVariantHolder error;
  PROPVARIANT* raw = error.Receive();
  raw->vt = VT_ERROR;
  raw->scode = value;
  Put(key, std::move(error));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyValues::GetErrorValue(REFPROPERTYKEY key, HRESULT* value) {
  const ServerCall call("IPortableDeviceValues::GetErrorValue");
  if (value == nullptr) return E_POINTER;
  const PROPVARIANT* found = Find(key);
  if (found == nullptr) return kNotFound;
  if (found->vt != VT_ERROR) return DISP_E_TYPEMISMATCH;
  *value = found->scode;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyValues::SetGuidValue(REFPROPERTYKEY key, REFGUID value) {
  const ServerCall call("IPortableDeviceValues::SetGuidValue");
  ptp::PropVariantHolder guid;
  PROPVARIANT* raw = guid.Receive();
  raw->puuid = static_cast<CLSID*>(CoTaskMemAlloc(sizeof(CLSID)));
  if (raw->puuid == nullptr) return E_OUTOFMEMORY;
  *raw->puuid = value;
  raw->vt = VT_CLSID;
  Put(key, std::move(guid));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyValues::GetGuidValue(REFPROPERTYKEY key, GUID* value) {
  const ServerCall call("IPortableDeviceValues::GetGuidValue");
  if (value == nullptr) return E_POINTER;
  const PROPVARIANT* found = nullptr;
  const HRESULT typed = Typed(key, VT_CLSID, &found);
  if (FAILED(typed)) return typed;
  if (found->puuid == nullptr) return E_UNEXPECTED;
  *value = *found->puuid;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyValues::RemoveValue(REFPROPERTYKEY key) {
  const ServerCall call("IPortableDeviceValues::RemoveValue");
  const auto found = std::find_if(entries_.begin(), entries_.end(),
                                  [&key](const auto& entry) { return SameKey(entry.first, key); });
  if (found == entries_.end()) return kNotFound;
  entries_.erase(found);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyValues::Clear() {
  const ServerCall call("IPortableDeviceValues::Clear");
  entries_.clear();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyValues::SetSignedIntegerValue(REFPROPERTYKEY /*key*/,
                                                                LONG /*value*/) {
  return NotImplemented("IPortableDeviceValues::SetSignedIntegerValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::GetSignedIntegerValue(REFPROPERTYKEY /*key*/,
                                                                LONG* /*value*/) {
  return NotImplemented("IPortableDeviceValues::GetSignedIntegerValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::SetUnsignedLargeIntegerValue(REFPROPERTYKEY /*key*/,
                                                                       ULONGLONG /*value*/) {
  return NotImplemented("IPortableDeviceValues::SetUnsignedLargeIntegerValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::SetSignedLargeIntegerValue(REFPROPERTYKEY /*key*/,
                                                                     LONGLONG /*value*/) {
  return NotImplemented("IPortableDeviceValues::SetSignedLargeIntegerValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::GetSignedLargeIntegerValue(REFPROPERTYKEY /*key*/,
                                                                     LONGLONG* /*value*/) {
  return NotImplemented("IPortableDeviceValues::GetSignedLargeIntegerValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::SetFloatValue(REFPROPERTYKEY /*key*/, FLOAT /*value*/) {
  return NotImplemented("IPortableDeviceValues::SetFloatValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::GetFloatValue(REFPROPERTYKEY /*key*/, FLOAT* /*value*/) {
  return NotImplemented("IPortableDeviceValues::GetFloatValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::SetKeyValue(REFPROPERTYKEY /*key*/,
                                                      REFPROPERTYKEY /*value*/) {
  return NotImplemented("IPortableDeviceValues::SetKeyValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::GetKeyValue(REFPROPERTYKEY /*key*/,
                                                      PROPERTYKEY* /*value*/) {
  return NotImplemented("IPortableDeviceValues::GetKeyValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::SetBoolValue(REFPROPERTYKEY /*key*/, BOOL /*value*/) {
  return NotImplemented("IPortableDeviceValues::SetBoolValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::SetIUnknownValue(REFPROPERTYKEY /*key*/,
                                                           IUnknown* /*value*/) {
  return NotImplemented("IPortableDeviceValues::SetIUnknownValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::GetIUnknownValue(REFPROPERTYKEY /*key*/,
                                                           IUnknown** /*value*/) {
  return NotImplemented("IPortableDeviceValues::GetIUnknownValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::SetBufferValue(REFPROPERTYKEY /*key*/, BYTE* /*value*/,
                                                         DWORD /*size*/) {
  return NotImplemented("IPortableDeviceValues::SetBufferValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::GetBufferValue(REFPROPERTYKEY /*key*/, BYTE** /*value*/,
                                                         DWORD* /*size*/) {
  return NotImplemented("IPortableDeviceValues::GetBufferValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::SetIPortableDeviceValuesValue(
    REFPROPERTYKEY /*key*/, IPortableDeviceValues* /*value*/) {
  return NotImplemented("IPortableDeviceValues::SetIPortableDeviceValuesValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::GetIPortableDeviceValuesValue(
    REFPROPERTYKEY /*key*/, IPortableDeviceValues** /*value*/) {
  return NotImplemented("IPortableDeviceValues::GetIPortableDeviceValuesValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::SetIPortableDevicePropVariantCollectionValue(
    REFPROPERTYKEY /*key*/, IPortableDevicePropVariantCollection* /*value*/) {
  return NotImplemented("IPortableDeviceValues::SetIPortableDevicePropVariantCollectionValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::GetIPortableDevicePropVariantCollectionValue(
    REFPROPERTYKEY /*key*/, IPortableDevicePropVariantCollection** /*value*/) {
  return NotImplemented("IPortableDeviceValues::GetIPortableDevicePropVariantCollectionValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::SetIPortableDeviceKeyCollectionValue(
    REFPROPERTYKEY /*key*/, IPortableDeviceKeyCollection* /*value*/) {
  return NotImplemented("IPortableDeviceValues::SetIPortableDeviceKeyCollectionValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::GetIPortableDeviceKeyCollectionValue(
    REFPROPERTYKEY /*key*/, IPortableDeviceKeyCollection** /*value*/) {
  return NotImplemented("IPortableDeviceValues::GetIPortableDeviceKeyCollectionValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::SetIPortableDeviceValuesCollectionValue(
    REFPROPERTYKEY /*key*/, IPortableDeviceValuesCollection* /*value*/) {
  return NotImplemented("IPortableDeviceValues::SetIPortableDeviceValuesCollectionValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::GetIPortableDeviceValuesCollectionValue(
    REFPROPERTYKEY /*key*/, IPortableDeviceValuesCollection** /*value*/) {
  return NotImplemented("IPortableDeviceValues::GetIPortableDeviceValuesCollectionValue");
}
HRESULT STDMETHODCALLTYPE PropertyValues::CopyValuesFromPropertyStore(IPropertyStore* /*store*/) {
  return NotImplemented("IPortableDeviceValues::CopyValuesFromPropertyStore");
}
HRESULT STDMETHODCALLTYPE PropertyValues::CopyValuesToPropertyStore(IPropertyStore* /*store*/) {
  return NotImplemented("IPortableDeviceValues::CopyValuesToPropertyStore");
}

}  // namespace camvey::phone::wpd
