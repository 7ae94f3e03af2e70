#ifndef CAMVEY_STANDINS_WPD_SERVER_DEVICE_MANAGER_H_
#define CAMVEY_STANDINS_WPD_SERVER_DEVICE_MANAGER_H_

// IPortableDeviceManager over the simulated phone (CLSID_PortableDeviceManager). The
// device list is a snapshot taken when the manager is made and on every refresh.

#include <string>
#include <vector>

#include "ptp/device/wpd_api_win.h"
#include "standins/phone/phone_model.h"
#include "standins/wpd_server/server_object.h"

namespace camvey::phone::wpd {

class DeviceManager : public ServerObject<IPortableDeviceManager> {
 public:
  // Borrows `phone`, which the server keeps while any of its objects lives.
  explicit DeviceManager(Phone* phone);

  // With `ids` null: the number of devices (fault `device_count`). Otherwise the ids
  // of the first `*count` devices, null for a device with fault `null_id`, and `*count`
  // set to the number written (fault `device_ids`: fails, nothing written).
  HRESULT STDMETHODCALLTYPE GetDevices(LPWSTR* ids, DWORD* count) override;
  HRESULT STDMETHODCALLTYPE RefreshDeviceList() override;
  // With `buffer` null: the length the text needs, its NUL counted unless the device
  // has `length_excludes_nul`. Otherwise `*count` units must hold the text and its NUL
  // (else HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER)).
  HRESULT STDMETHODCALLTYPE GetDeviceFriendlyName(LPCWSTR device_id, WCHAR* buffer,
                                                  DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetDeviceDescription(LPCWSTR device_id, WCHAR* buffer,
                                                 DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetDeviceManufacturer(LPCWSTR device_id, WCHAR* buffer,
                                                  DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetDeviceProperty(LPCWSTR device_id, LPCWSTR name, BYTE* data,
                                              DWORD* size, DWORD* type) override;
  HRESULT STDMETHODCALLTYPE GetPrivateDevices(LPWSTR* ids, DWORD* count) override;

 private:
  void TakeSnapshot();
  HRESULT ReadText(LPCWSTR device_id, std::u16string SimDevice::*text, bool DeviceFaults::*fault,
                   const char* fault_name, WCHAR* buffer, DWORD* count);

  Phone* phone_;
  std::vector<std::u16string> snapshot_;
};

}  // namespace camvey::phone::wpd

#endif  // CAMVEY_STANDINS_WPD_SERVER_DEVICE_MANAGER_H_
