#ifndef CAMVEY_STANDINS_WPD_SERVER_PROPERTY_VALUES_H_
#define CAMVEY_STANDINS_WPD_SERVER_PROPERTY_VALUES_H_

// IPortableDeviceValues: keyed values in the order they were first set. The server
// hands one out for every GetValues, and serves CLSID_PortableDeviceValues with it
// (the client information a caller opens a device with).

#include <utility>
#include <vector>

#include "ptp/device/com_holders_win.h"
#include "ptp/device/wpd_api_win.h"
#include "standins/wpd_server/server_object.h"

namespace camvey::phone::wpd {

class PropertyValues : public ServerObject<IPortableDeviceValues> {
 public:
  // Sets a value without counting a caller's call; for the server's own answers.
  void Put(const PROPERTYKEY& key, ptp::PropVariantHolder value);

  HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetAt(DWORD index, PROPERTYKEY* key, PROPVARIANT* value) override;
  HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY key, const PROPVARIANT* value) override;
  HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override;
  HRESULT STDMETHODCALLTYPE SetStringValue(REFPROPERTYKEY key, LPCWSTR value) override;
  // A value of another type, a VT_ERROR one (a property the device could not read)
  // included, answers DISP_E_TYPEMISMATCH; a missing key, HRESULT_FROM_WIN32
  // (ERROR_NOT_FOUND). The same holds for the other typed getters the server implements
  // (unsigned integer, unsigned large integer, bool, GUID).
  HRESULT STDMETHODCALLTYPE GetStringValue(REFPROPERTYKEY key, LPWSTR* value) override;
  HRESULT STDMETHODCALLTYPE SetUnsignedIntegerValue(REFPROPERTYKEY key, ULONG value) override;
  HRESULT STDMETHODCALLTYPE GetUnsignedIntegerValue(REFPROPERTYKEY key, ULONG* value) override;
  HRESULT STDMETHODCALLTYPE SetSignedIntegerValue(REFPROPERTYKEY key, LONG value) override;
  HRESULT STDMETHODCALLTYPE GetSignedIntegerValue(REFPROPERTYKEY key, LONG* value) override;
  HRESULT STDMETHODCALLTYPE SetUnsignedLargeIntegerValue(REFPROPERTYKEY key,
                                                         ULONGLONG value) override;
  HRESULT STDMETHODCALLTYPE GetUnsignedLargeIntegerValue(REFPROPERTYKEY key,
                                                         ULONGLONG* value) override;
  HRESULT STDMETHODCALLTYPE SetSignedLargeIntegerValue(REFPROPERTYKEY key, LONGLONG value) override;
  HRESULT STDMETHODCALLTYPE GetSignedLargeIntegerValue(REFPROPERTYKEY key,
                                                       LONGLONG* value) override;
  HRESULT STDMETHODCALLTYPE SetFloatValue(REFPROPERTYKEY key, FLOAT value) override;
  HRESULT STDMETHODCALLTYPE GetFloatValue(REFPROPERTYKEY key, FLOAT* value) override;
  HRESULT STDMETHODCALLTYPE SetErrorValue(REFPROPERTYKEY key, HRESULT value) override;
  HRESULT STDMETHODCALLTYPE GetErrorValue(REFPROPERTYKEY key, HRESULT* value) override;
  HRESULT STDMETHODCALLTYPE SetKeyValue(REFPROPERTYKEY key, REFPROPERTYKEY value) override;
  HRESULT STDMETHODCALLTYPE GetKeyValue(REFPROPERTYKEY key, PROPERTYKEY* value) override;
  HRESULT STDMETHODCALLTYPE SetBoolValue(REFPROPERTYKEY key, BOOL value) override;
  HRESULT STDMETHODCALLTYPE GetBoolValue(REFPROPERTYKEY key, BOOL* value) override;
  HRESULT STDMETHODCALLTYPE SetIUnknownValue(REFPROPERTYKEY key, IUnknown* value) override;
  HRESULT STDMETHODCALLTYPE GetIUnknownValue(REFPROPERTYKEY key, IUnknown** value) override;
  HRESULT STDMETHODCALLTYPE SetGuidValue(REFPROPERTYKEY key, REFGUID value) override;
  HRESULT STDMETHODCALLTYPE GetGuidValue(REFPROPERTYKEY key, GUID* value) override;
  HRESULT STDMETHODCALLTYPE SetBufferValue(REFPROPERTYKEY key, BYTE* value, DWORD size) override;
  HRESULT STDMETHODCALLTYPE GetBufferValue(REFPROPERTYKEY key, BYTE** value, DWORD* size) override;
  HRESULT STDMETHODCALLTYPE SetIPortableDeviceValuesValue(REFPROPERTYKEY key,
                                                          IPortableDeviceValues* value) override;
  HRESULT STDMETHODCALLTYPE GetIPortableDeviceValuesValue(REFPROPERTYKEY key,
                                                          IPortableDeviceValues** value) override;
  HRESULT STDMETHODCALLTYPE SetIPortableDevicePropVariantCollectionValue(
      REFPROPERTYKEY key, IPortableDevicePropVariantCollection* value) override;
  HRESULT STDMETHODCALLTYPE GetIPortableDevicePropVariantCollectionValue(
      REFPROPERTYKEY key, IPortableDevicePropVariantCollection** value) override;
  HRESULT STDMETHODCALLTYPE SetIPortableDeviceKeyCollectionValue(
      REFPROPERTYKEY key, IPortableDeviceKeyCollection* value) override;
  HRESULT STDMETHODCALLTYPE GetIPortableDeviceKeyCollectionValue(
      REFPROPERTYKEY key, IPortableDeviceKeyCollection** value) override;
  HRESULT STDMETHODCALLTYPE SetIPortableDeviceValuesCollectionValue(
      REFPROPERTYKEY key, IPortableDeviceValuesCollection* value) override;
  HRESULT STDMETHODCALLTYPE GetIPortableDeviceValuesCollectionValue(
      REFPROPERTYKEY key, IPortableDeviceValuesCollection** value) override;
  HRESULT STDMETHODCALLTYPE RemoveValue(REFPROPERTYKEY key) override;
  HRESULT STDMETHODCALLTYPE CopyValuesFromPropertyStore(IPropertyStore* store) override;
  HRESULT STDMETHODCALLTYPE CopyValuesToPropertyStore(IPropertyStore* store) override;
  HRESULT STDMETHODCALLTYPE Clear() override;

 private:
  // The value under `key`, or null.
  const PROPVARIANT* Find(const PROPERTYKEY& key) const;
  // Finds `key` and checks that its value is of `type`: S_OK, or the failure to answer.
  HRESULT Typed(const PROPERTYKEY& key, VARTYPE type, const PROPVARIANT** value) const;

  std::vector<std::pair<PROPERTYKEY, ptp::PropVariantHolder>> entries_;
};

}  // namespace camvey::phone::wpd

#endif  // CAMVEY_STANDINS_WPD_SERVER_PROPERTY_VALUES_H_
