#include "standins/wpd_server/portable_device.h"

#include "standins/wpd_server/device_content.h"
#include "standins/wpd_server/sim_server.h"

namespace camvey::phone::wpd {

PortableDevice::~PortableDevice() {
  const ServerCall call(nullptr);
  call.server().records().RecordDeviceRelease(opened_id_, session_ != nullptr);
  if (session_ != nullptr) session_->open = false;
}

HRESULT STDMETHODCALLTYPE PortableDevice::Open(LPCWSTR device_id,
                                               IPortableDeviceValues* client_information) {
  const ServerCall call("IPortableDevice::Open");
  if (device_id == nullptr) return E_POINTER;
  const std::u16string id(reinterpret_cast<const char16_t*>(device_id));
  call.server().records().RecordOpen(id, client_information);
  SimDevice* device = phone_->FindDevice(id);
  if (device == nullptr) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  if (const HRESULT gone = device->AnswerCall(); gone != S_OK) return gone;
  if (device->faults.open) return device->faults.CodeOf("open", HRESULT_FROM_WIN32(ERROR_BUSY));
  session_ = std::make_shared<DeviceSession>();
  session_->device = device;
  opened_id_ = id;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PortableDevice::Content(IPortableDeviceContent** content) {
  const ServerCall call("IPortableDevice::Content");
  if (content == nullptr) return E_POINTER;
  *content = nullptr;
  if (session_ == nullptr) return kWpdDeviceNotOpen;
  if (const HRESULT refused = session_->Refusal(); refused != S_OK) return refused;
  if (session_->device->faults.content) return session_->device->faults.CodeOf("content", E_FAIL);
  auto made = MakeObject<DeviceContent>(session_);
  if (made == nullptr) return E_OUTOFMEMORY;
  *content = made.Detach();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PortableDevice::Close() {
  const ServerCall call("IPortableDevice::Close");
  if (session_ == nullptr) return kWpdDeviceNotOpen;
  const HRESULT result = session_->Close();
  session_.reset();
  return result;
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
