#ifndef CAMVEY_STANDINS_WPD_SERVER_PORTABLE_DEVICE_H_
#define CAMVEY_STANDINS_WPD_SERVER_PORTABLE_DEVICE_H_

// IPortableDevice over the simulated phone (CLSID_PortableDeviceFTM and
// CLSID_PortableDevice). Open binds it to one device of the phone; its last Release
// records whether it was still open, and closes it.

#include <memory>
#include <string>

#include "ptp/device/wpd_api_win.h"
#include "standins/phone/phone_model.h"
#include "standins/wpd_server/server_object.h"

namespace camvey::phone::wpd {

class PortableDevice : public ServerObject<IPortableDevice> {
 public:
  // Borrows `phone`, which the server keeps while any of its objects lives.
  explicit PortableDevice(Phone* phone) : phone_(phone) {}
  ~PortableDevice() override;

  // Records the device id and every value of the client information. A device that
  // is not attached: HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND); fault `open`: busy
  // (HRESULT_FROM_WIN32(ERROR_BUSY)), or its code in `fault_codes`.
  HRESULT STDMETHODCALLTYPE Open(LPCWSTR device_id,
                                 IPortableDeviceValues* client_information) override;
  HRESULT STDMETHODCALLTYPE SendCommand(DWORD flags, IPortableDeviceValues* parameters,
                                        IPortableDeviceValues** results) override;
  // Not open: E_WPD_DEVICE_NOT_OPEN; fault `content`: fails.
  HRESULT STDMETHODCALLTYPE Content(IPortableDeviceContent** content) override;
  HRESULT STDMETHODCALLTYPE Capabilities(IPortableDeviceCapabilities** capabilities) override;
  HRESULT STDMETHODCALLTYPE Cancel() override;
  // Closes the device, and with it every object it handed out; fails when it was not
  // open, when the device is gone, or with fault `close` (closed all the same).
  HRESULT STDMETHODCALLTYPE Close() override;
  HRESULT STDMETHODCALLTYPE Advise(DWORD flags, IPortableDeviceEventCallback* callback,
                                   IPortableDeviceValues* parameters, LPWSTR* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(LPCWSTR cookie) override;
  HRESULT STDMETHODCALLTYPE GetPnPDeviceID(LPWSTR* device_id) override;

 private:
  Phone* phone_;
  std::shared_ptr<DeviceSession> session_;  // while open
  std::u16string opened_id_;                // the device last opened
};

}  // namespace camvey::phone::wpd

#endif  // CAMVEY_STANDINS_WPD_SERVER_PORTABLE_DEVICE_H_
