#include <objbase.h>
#include <windows.h>

#include <string>

#include "ptp/device/wpd_device_layer_win.h"
#include "text/wide_text.h"
#include "tools/ptp_sim_wpd.h"

namespace camvey::tools {
namespace {

// The simulated server's own settings: the phone it serves and where it writes the
// phone back after each deletion request.
constexpr wchar_t kPhoneSetting[] = L"CAMVEY_SIM_PHONE";
constexpr wchar_t kPhoneOutSetting[] = L"CAMVEY_SIM_PHONE_OUT";

std::wstring Wide(const std::string& utf8) {
  const std::u16string text = text::Utf8ToWide(utf8);
  return std::wstring(text.begin(), text.end());
}

// The server resolves a relative name against the directory current when it loads;
// a full path keeps it to the file named here.
std::wstring FullPath(const std::string& path) {
  const std::wstring wide = Wide(path);
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return wide;
  full.resize(length);
  return full;
}

class ComApartment {
 public:
  ComApartment() : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (initialized_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialized_;
};

}  // namespace

bool WithWpdLayer(const std::function<void(ptp::DeviceLayer&)>& work) {
  const ComApartment apartment;
  const std::unique_ptr<ptp::DeviceLayer> layer = ptp::MakeWpdDeviceLayer();
  work(*layer);
  return true;
}

bool ServeSimulatedPhone(const std::string& phone_path, const std::string& out_path) {
  if (!SetEnvironmentVariableW(kPhoneSetting, FullPath(phone_path).c_str())) return false;
  if (out_path.empty()) {
    // Removing a setting that is not there fails harmlessly.
    SetEnvironmentVariableW(kPhoneOutSetting, nullptr);
    return true;
  }
  return SetEnvironmentVariableW(kPhoneOutSetting, FullPath(out_path).c_str()) != 0;
}

}  // namespace camvey::tools
