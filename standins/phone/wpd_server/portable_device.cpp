#include "standins/phone/wpd_server/portable_device.h"

#include "standins/phone/wpd_server/device_content.h"
#include "standins/phone/wpd_server/sim_server.h"

namespace camvey::phone::wpd {
namespace {

// E_WPD_DEVICE_NOT_OPEN.
constexpr HRESULT kNotOpen = static_cast<HRESULT>(0x802A0003);

}  // namespace

PortableDevice::~PortableDevice() {
  const ServerCall call(nullptr);
  call.server().records().RecordDeviceRelease(opened_id_, device_ != nullptr);
}

HRESULT STDMETHODCALLTYPE PortableDevice::Open(LPCWSTR device_id,
                                               IPortableDeviceValues* client_information) {
  const ServerCall call("IPortableDevice::Open");
  if (device_id == nullptr) return E_POINTER;
  const std::u16string id(reinterpret_cast<const char16_t*>(device_id));
  call.server().records().RecordOpen(id, client_information);
  SimDevice* device = phone_->FindDevice(id);
  if (device == nullptr) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  if (device->faults.open) return HRESULT_FROM_WIN32(ERROR_BUSY);
  device_ = device;
  opened_id_ = id;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PortableDevice::Content(IPortableDeviceContent** content) {
  const ServerCall call("IPortableDevice::Content");
  if (content == nullptr) return E_POINTER;
  *content = nullptr;
  if (device_ == nullptr) return kNotOpen;
  if (device_->faults.content) return E_FAIL;
  auto made = MakeObject<DeviceContent>(device_);
  if (made == nullptr) return E_OUTOFMEMORY;
  *content = made.Detach();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PortableDevice::Close() {
  const ServerCall call("IPortableDevice::Close");
  const bool fails = device_ == nullptr || device_->faults.close;
  device_ = nullptr;
  return fails ? E_FAIL : S_OK;
}

HRESULT STDMETHODCALLTYPE PortableDevice::SendCommand(DWORD /*flags*/,
                                                      IPortableDeviceValues* /*parameters*/,
                                                      IPortableDeviceValues** /*results*/) {
  return NotImplemented("IPortableDevice::SendCommand");
}

HRESULT STDMETHODCALLTYPE
PortableDevice::Capabilities(IPortableDeviceCapabilities** /*capabilities*/) {
  return NotImplemented("IPortableDevice::Capabilities");
}

HRESULT STDMETHODCALLTYPE PortableDevice::Cancel() {
  return NotImplemented("IPortableDevice::Cancel");
}

HRESULT STDMETHODCALLTYPE PortableDevice::Advise(DWORD /*flags*/,
                                                 IPortableDeviceEventCallback* /*callback*/,
                                                 IPortableDeviceValues* /*parameters*/,
                                                 LPWSTR* /*cookie*/) {
  return NotImplemented("IPortableDevice::Advise");
}

HRESULT STDMETHODCALLTYPE PortableDevice::Unadvise(LPCWSTR /*cookie*/) {
  return NotImplemented("IPortableDevice::Unadvise");
}

HRESULT STDMETHODCALLTYPE PortableDevice::GetPnPDeviceID(LPWSTR* /*device_id*/) {
  return NotImplemented("IPortableDevice::GetPnPDeviceID");
}

}  // namespace camvey::phone::wpd
