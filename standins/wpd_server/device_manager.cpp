#include "standins/wpd_server/device_manager.h"

#include <algorithm>

#include "standins/wpd_server/sim_server.h"

namespace camvey::phone::wpd {

DeviceManager::DeviceManager(Phone* phone) : phone_(phone) { TakeSnapshot(); }

void DeviceManager::TakeSnapshot() {
  snapshot_.clear();
  for (const SimDevice& device : phone_->devices) snapshot_.push_back(device.id);
}

HRESULT STDMETHODCALLTYPE DeviceManager::GetDevices(LPWSTR* ids, DWORD* count) {
  const ServerCall call("IPortableDeviceManager::GetDevices");
  if (count == nullptr) return E_POINTER;
  const LayerFaults& faults = phone_->faults;
  if (ids == nullptr) {
    if (faults.device_count) return E_FAIL;
    const std::size_t seen = snapshot_.size() - (faults.devices_added && !snapshot_.empty());
    *count = faults.huge_device_count ? 0xFFFFFFFFu : static_cast<DWORD>(seen);
    return S_OK;
  }
  if (phone_->faults.device_ids) return E_FAIL;
  const std::size_t written = std::min(std::size_t{*count}, snapshot_.size());
  for (std::size_t i = 0; i < written; ++i) {
    const SimDevice* device = phone_->FindDevice(snapshot_[i]);
    if (device != nullptr && device->faults.null_id) {
      ids[i] = nullptr;
      continue;
    }
    ids[i] = call.server().HandOutString(reinterpret_cast<const wchar_t*>(snapshot_[i].c_str()));
    if (ids[i] == nullptr) {
      for (std::size_t j = 0; j < i; ++j) {
        CoTaskMemFree(ids[j]);
        ids[j] = nullptr;
      }
      return E_OUTOFMEMORY;
    }
  }
  *count = static_cast<DWORD>(written);
  // More devices than room: that many were written.
  return written < snapshot_.size() ? S_FALSE : S_OK;
}

HRESULT STDMETHODCALLTYPE DeviceManager::RefreshDeviceList() {
  const ServerCall call("IPortableDeviceManager::RefreshDeviceList");
  if (phone_->faults.refresh) return E_FAIL;
  TakeSnapshot();
  return S_OK;
}

HRESULT DeviceManager::ReadText(LPCWSTR device_id, std::u16string SimDevice::*text,
                                bool DeviceFaults::*fault, const char* fault_name, WCHAR* buffer,
                                DWORD* count) {
  if (device_id == nullptr || count == nullptr) return E_POINTER;
  const SimDevice* device =
      phone_->FindDevice(std::u16string(reinterpret_cast<const char16_t*>(device_id)));
  if (device == nullptr) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  if (device->faults.*fault) return device->faults.CodeOf(fault_name, E_FAIL);
  const std::u16string& value = device->*text;
  const auto needed = static_cast<DWORD>(value.size() + 1);
  const DWORD reported = device->faults.length_excludes_nul ? needed - 1 : needed;
  if (buffer == nullptr) {
    *count = reported;
    return S_OK;
  }
  if (*count < needed) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  std::copy(value.begin(), value.end(), buffer);
  buffer[value.size()] = L'\0';
  *count = reported;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DeviceManager::GetDeviceFriendlyName(LPCWSTR device_id, WCHAR* buffer,
                                                               DWORD* count) {
  const ServerCall call("IPortableDeviceManager::GetDeviceFriendlyName");
  return ReadText(device_id, &SimDevice::friendly_name, &DeviceFaults::friendly_name,
                  "friendly_name", buffer, count);
}

HRESULT STDMETHODCALLTYPE DeviceManager::GetDeviceManufacturer(LPCWSTR device_id, WCHAR* buffer,
                                                               DWORD* count) {
  const ServerCall call("IPortableDeviceManager::GetDeviceManufacturer");
  return ReadText(device_id, &SimDevice::manufacturer, &DeviceFaults::manufacturer, "manufacturer",
                  buffer, count);
}

HRESULT STDMETHODCALLTYPE DeviceManager::GetDeviceDescription(LPCWSTR /*device_id*/,
                                                              WCHAR* /*buffer*/, DWORD* /*count*/) {
  return NotImplemented("IPortableDeviceManager::GetDeviceDescription");
}

HRESULT STDMETHODCALLTYPE DeviceManager::GetDeviceProperty(LPCWSTR /*device_id*/, LPCWSTR /*name*/,
                                                           BYTE* /*data*/, DWORD* /*size*/,
                                                           DWORD* /*type*/) {
  return NotImplemented("IPortableDeviceManager::GetDeviceProperty");
}

HRESULT STDMETHODCALLTYPE DeviceManager::GetPrivateDevices(LPWSTR* /*ids*/, DWORD* /*count*/) {
  return NotImplemented("IPortableDeviceManager::GetPrivateDevices");
}

}  // namespace camvey::phone::wpd
