#include "standins/wpd_server/class_factory.h"

#include <string>

#include "ptp/device/wpd_api_win.h"
#include "standins/wpd_server/device_manager.h"
#include "standins/wpd_server/key_collection.h"
#include "standins/wpd_server/portable_device.h"
#include "standins/wpd_server/prop_variant_collection.h"
#include "standins/wpd_server/property_values.h"
#include "standins/wpd_server/sim_server.h"

namespace camvey::phone::wpd {
namespace {

enum class Kind { kManager, kDevice, kKeyCollection, kValues, kPropVariantCollection };

// A new object of `kind`, as the phone's creation faults allow. The manager and the
// device need the phone; the collections are served even when it cannot be read.
HRESULT Create(Kind kind, SimServer& server, Microsoft::WRL::ComPtr<IUnknown>* made) {
  Phone* phone = server.phone();
  const LayerFaults* faults = phone == nullptr ? nullptr : &phone->faults;
  switch (kind) {
    case Kind::kManager:
      if (faults == nullptr || faults->create_manager) return E_FAIL;
      *made = MakeObject<DeviceManager>(phone);
      break;
    case Kind::kDevice:
      if (faults == nullptr || faults->create_device) return E_FAIL;
      *made = MakeObject<PortableDevice>(phone);
      break;
    case Kind::kKeyCollection:
      if (faults != nullptr && faults->create_key_collection) return E_FAIL;
      *made = MakeObject<KeyCollection>();
      break;
    case Kind::kValues:
      if (faults != nullptr && faults->create_client_information) return E_FAIL;
      *made = MakeObject<PropertyValues>();
      break;
    case Kind::kPropVariantCollection:
      if (faults != nullptr && faults->create_id_collection) return E_FAIL;
      *made = MakeObject<PropVariantCollection>();
      break;
  }
  return *made == nullptr ? E_OUTOFMEMORY : S_OK;
}

class ClassFactory : public IClassFactory {
 public:
  ClassFactory(Kind kind, const char* create_call) : kind_(kind), create_call_(create_call) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid != __uuidof(IUnknown) && iid != __uuidof(IClassFactory)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  // Static objects: references are not counted.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    const ServerCall call(create_call_);
    Microsoft::WRL::ComPtr<IUnknown> made;
    const HRESULT created = Create(kind_, call.server(), &made);
    if (FAILED(created)) return created;
    return made->QueryInterface(iid, object);
  }

  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    SimServer::Get().LockServer(lock != FALSE);
    return S_OK;
  }

 private:
  Kind kind_;
  const char* create_call_;
};

ClassFactory manager_factory(Kind::kManager, "create PortableDeviceManager");
ClassFactory device_ftm_factory(Kind::kDevice, "create PortableDeviceFTM");
ClassFactory device_factory(Kind::kDevice, "create PortableDevice");
ClassFactory key_collection_factory(Kind::kKeyCollection, "create PortableDeviceKeyCollection");
ClassFactory values_factory(Kind::kValues, "create PortableDeviceValues");
ClassFactory prop_variant_collection_factory(Kind::kPropVariantCollection,
                                             "create PortableDevicePropVariantCollection");

struct ServedClass {
  const CLSID* clsid;
  const wchar_t* name;
  ClassFactory* factory;
};

const ServedClass kServedClasses[] = {
    {&CLSID_PortableDeviceManager, L"PortableDeviceManager", &manager_factory},
    {&CLSID_PortableDeviceFTM, L"PortableDeviceFTM", &device_ftm_factory},
    {&CLSID_PortableDevice, L"PortableDevice", &device_factory},
    {&CLSID_PortableDeviceKeyCollection, L"PortableDeviceKeyCollection", &key_collection_factory},
    {&CLSID_PortableDeviceValues, L"PortableDeviceValues", &values_factory},
    {&CLSID_PortableDevicePropVariantCollection, L"PortableDevicePropVariantCollection",
     &prop_variant_collection_factory},
};

std::wstring ClassKey(const CLSID& clsid) {
  wchar_t text[64] = {};
  StringFromGUID2(clsid, text, 64);
  return std::wstring(L"CLSID\\") + text;
}

HRESULT SetText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  const LSTATUS set = RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value.c_str(),
                                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  return HRESULT_FROM_WIN32(set);
}

}  // namespace

HRESULT RegisterClasses(const wchar_t* module_path) {
  for (const ServedClass& served : kServedClasses) {
    const std::wstring key = ClassKey(*served.clsid);
    const std::wstring server = key + L"\\InprocServer32";
    HRESULT result = SetText(key, nullptr, std::wstring(L"Camvey simulated ") + served.name);
    if (SUCCEEDED(result)) result = SetText(server, nullptr, module_path);
    if (SUCCEEDED(result)) result = SetText(server, L"ThreadingModel", L"Both");
    if (FAILED(result)) return result;
  }
  return S_OK;
}

HRESULT UnregisterClasses() {
  for (const ServedClass& served : kServedClasses) {
    const LSTATUS deleted = RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey(*served.clsid).c_str());
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
      return HRESULT_FROM_WIN32(deleted);
    }
  }
  return S_OK;
}

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  for (const ServedClass& served : kServedClasses) {
    if (*served.clsid == clsid) {
      SimServer::Get().MarkInUse();
      return served.factory->QueryInterface(iid, object);
    }
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace camvey::phone::wpd
