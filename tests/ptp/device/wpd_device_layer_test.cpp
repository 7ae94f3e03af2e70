#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <objbase.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "ptp/device/discovery.h"
#include "ptp/device/wpd_api_win.h"
#include "ptp/device/wpd_device_layer_win.h"

namespace camvey::ptp {
namespace {

using ::testing::ElementsAre;

LPWSTR TaskMemCopy(const wchar_t* text) {
  const std::size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
  auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  std::memcpy(copy, text, bytes);
  return copy;
}

// A device manager whose driver breaks its contract as configured. Every device is an
// iPhone by name.
class FakeManager : public IPortableDeviceManager {
 public:
  std::vector<const wchar_t*> ids;  // nullptr: the driver hands out a null id
  DWORD claimed_count = 0;          // what the second GetDevices says it wrote; 0: the truth

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPortableDeviceManager)) {
      *out = static_cast<IPortableDeviceManager*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }

  HRESULT STDMETHODCALLTYPE GetDevices(LPWSTR* out, DWORD* count) override {
    if (out == nullptr) {
      *count = static_cast<DWORD>(ids.size());
      return S_OK;
    }
    const DWORD written = std::min<DWORD>(*count, static_cast<DWORD>(ids.size()));
    for (DWORD i = 0; i < written; ++i) out[i] = ids[i] ? TaskMemCopy(ids[i]) : nullptr;
    *count = claimed_count != 0 ? claimed_count : written;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE RefreshDeviceList() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetDeviceFriendlyName(LPCWSTR, WCHAR* buffer, DWORD* count) override {
    constexpr wchar_t kName[] = L"iPhone";
    if (buffer == nullptr) {
      *count = 7;
      return S_OK;
    }
    if (*count < 7) return E_INVALIDARG;
    std::memcpy(buffer, kName, sizeof kName);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDeviceDescription(LPCWSTR, WCHAR*, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDeviceManufacturer(LPCWSTR, WCHAR*, DWORD*) override {
    return E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE GetDeviceProperty(LPCWSTR, LPCWSTR, BYTE*, DWORD*, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetPrivateDevices(LPWSTR*, DWORD*) override { return E_NOTIMPL; }

  ULONG references = 1;
};

// Hands out the one fake manager for CLSID_PortableDeviceManager in this process.
class FakeManagerFactory : public IClassFactory {
 public:
  explicit FakeManagerFactory(FakeManager* manager) : manager_(manager) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return manager_->QueryInterface(iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  FakeManager* manager_;
};

class WpdDeviceLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ASSERT_EQ(CoRegisterClassObject(CLSID_PortableDeviceManager, &factory_, CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &cookie_),
              S_OK);
  }
  void TearDown() override {
    CoRevokeClassObject(cookie_);
    CoUninitialize();
  }

  std::vector<std::u16string> AppleDevices() {
    std::unique_ptr<DeviceLayer> layer = MakeWpdDeviceLayer();
    std::unique_ptr<DeviceManager> made;
    EXPECT_EQ(layer->CreateManager(&made), S_OK);
    if (made == nullptr) return {};
    return ListAppleDevices(*made);
  }

  FakeManager manager_;

 private:
  FakeManagerFactory factory_{&manager_};
  DWORD cookie_ = 0;
};

TEST_F(WpdDeviceLayerTest, ReadsDeviceIdsAndNamesThroughTheManager) {
  manager_.ids = {L"usb#1", L"usb#2"};
  EXPECT_THAT(AppleDevices(), ElementsAre(u"usb#1", u"usb#2"));
  EXPECT_EQ(manager_.references, 1u);
}

// A driver that claims to have written more ids than the array had room for: only the
// array is read, and the ids in it are still used.
TEST_F(WpdDeviceLayerTest, AnIdCountBeyondTheArrayReadsOnlyTheArray) {
  manager_.ids = {L"usb#1", L"usb#2"};
  manager_.claimed_count = 5000;
  EXPECT_THAT(AppleDevices(), ElementsAre(u"usb#1", u"usb#2"));

  std::unique_ptr<DeviceManager> made;
  ASSERT_EQ(MakeWpdDeviceLayer()->CreateManager(&made), S_OK);
  std::vector<std::optional<std::u16string>> ids(2);
  std::uint32_t count = 2;
  EXPECT_EQ(made->GetDevices(&ids, &count), S_OK);
  EXPECT_EQ(count, 2u);
}

TEST_F(WpdDeviceLayerTest, ANullIdIsSkipped) {
  manager_.ids = {nullptr, L"usb#2"};
  EXPECT_THAT(AppleDevices(), ElementsAre(u"usb#2"));
}

}  // namespace
}  // namespace camvey::ptp
