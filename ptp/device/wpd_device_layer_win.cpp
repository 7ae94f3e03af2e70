#include "ptp/device/wpd_device_layer_win.h"

#include <wrl/client.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "ptp/device/com_holders_win.h"
#include "ptp/device/wpd_api_win.h"

namespace camvey::ptp {
namespace {

using Microsoft::WRL::ComPtr;

// UTF-16 text is the same bytes as char16_t and as Windows' wchar_t.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide text is UTF-16 on Windows");

const wchar_t* ToWide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::u16string FromWide(const wchar_t* text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}

const PROPERTYKEY& KeyOf(ObjectKey key) {
  switch (key) {
    case ObjectKey::kOriginalFileName:
      return WPD_OBJECT_ORIGINAL_FILE_NAME;
    case ObjectKey::kName:
      return WPD_OBJECT_NAME;
    case ObjectKey::kSize:
      return WPD_OBJECT_SIZE;
    case ObjectKey::kCanDelete:
      return WPD_OBJECT_CAN_DELETE;
    case ObjectKey::kStorageAccessCapability:
      return WPD_STORAGE_ACCESS_CAPABILITY;
    case ObjectKey::kContentType:
      break;
  }
  return WPD_OBJECT_CONTENT_TYPE;
}

const PROPERTYKEY& KeyOf(ClientKey key) {
  switch (key) {
    case ClientKey::kName:
      return WPD_CLIENT_NAME;
    case ClientKey::kMajorVersion:
      return WPD_CLIENT_MAJOR_VERSION;
    case ClientKey::kMinorVersion:
      return WPD_CLIENT_MINOR_VERSION;
    case ClientKey::kRevision:
      return WPD_CLIENT_REVISION;
    case ClientKey::kDesiredAccess:
      break;
  }
  return WPD_CLIENT_DESIRED_ACCESS;
}

class WpdKeyCollection : public KeyCollection {
 public:
  explicit WpdKeyCollection(ComPtr<IPortableDeviceKeyCollection> keys) : keys_(std::move(keys)) {}

  DeviceResult Add(ObjectKey key) override { return keys_->Add(KeyOf(key)); }

  IPortableDeviceKeyCollection* get() const { return keys_.Get(); }

 private:
  ComPtr<IPortableDeviceKeyCollection> keys_;
};

class WpdClientInformation : public ClientInformation {
 public:
  explicit WpdClientInformation(ComPtr<IPortableDeviceValues> values)
      : values_(std::move(values)) {}

  DeviceResult SetStringValue(ClientKey key, const std::u16string& value) override {
    return values_->SetStringValue(KeyOf(key), ToWide(value));
  }
  DeviceResult SetUnsignedIntegerValue(ClientKey key, std::uint32_t value) override {
    return values_->SetUnsignedIntegerValue(KeyOf(key), value);
  }

  IPortableDeviceValues* get() const { return values_.Get(); }

 private:
  ComPtr<IPortableDeviceValues> values_;
};

class WpdDeviceManager : public DeviceManager {
 public:
  explicit WpdDeviceManager(ComPtr<IPortableDeviceManager> manager)
      : manager_(std::move(manager)) {}

  DeviceResult RefreshDeviceList() override { return manager_->RefreshDeviceList(); }

  DeviceResult GetDevices(std::vector<std::optional<std::u16string>>* ids,
                          std::uint32_t* count) override {
    if (ids == nullptr) {
      DWORD needed = 0;
      const HRESULT hr = manager_->GetDevices(nullptr, &needed);
      if (SUCCEEDED(hr)) *count = needed;
      return hr;
    }
    // The driver writes at most `room` ids; whatever count it claims afterwards, only
    // the array itself is read, and every id it holds is freed.
    const DWORD room = static_cast<DWORD>((std::min)(std::size_t{*count}, ids->size()));
    CoTaskMemStringArray raw(room);
    DWORD returned = room;
    const HRESULT hr = manager_->GetDevices(raw.data(), &returned);
    if (FAILED(hr)) return hr;
    const DWORD readable = (std::min)(returned, room);
    for (DWORD i = 0; i < readable; ++i) {
      if (raw[i] != nullptr) (*ids)[i] = FromWide(raw[i]);
    }
    *count = readable;
    return hr;
  }

  DeviceResult GetDeviceFriendlyName(const std::u16string& device_id, char16_t* buffer,
                                     std::uint32_t* length) override {
    return ReadText(&IPortableDeviceManager::GetDeviceFriendlyName, device_id, buffer, length);
  }
  DeviceResult GetDeviceManufacturer(const std::u16string& device_id, char16_t* buffer,
                                     std::uint32_t* length) override {
    return ReadText(&IPortableDeviceManager::GetDeviceManufacturer, device_id, buffer, length);
  }

 private:
  using TextGetter = HRESULT (STDMETHODCALLTYPE IPortableDeviceManager::*)(LPCWSTR, WCHAR*, DWORD*);

  DeviceResult ReadText(TextGetter getter, const std::u16string& device_id, char16_t* buffer,
                        std::uint32_t* length) {
    DWORD size = *length;
    const HRESULT hr =
        (manager_.Get()->*getter)(ToWide(device_id), reinterpret_cast<WCHAR*>(buffer), &size);
    if (SUCCEEDED(hr)) *length = size;
    return hr;
  }

  ComPtr<IPortableDeviceManager> manager_;
};

class WpdObjectIdEnumerator : public ObjectIdEnumerator {
 public:
  explicit WpdObjectIdEnumerator(ComPtr<IEnumPortableDeviceObjectIDs> enumerator)
      : enumerator_(std::move(enumerator)) {}

  DeviceResult Next(std::uint32_t count, std::vector<std::u16string>* ids) override {
    ids->clear();
    // "No more objects" is final: the driver is not asked again.
    if (ended_) return S_FALSE;
    // One entry more than asked for, so that a driver handing over too many ids writes
    // the extra one here rather than past the array; all are freed.
    CoTaskMemStringArray fetched_ids(std::size_t{count} + 1);
    ULONG fetched = 0;
    const HRESULT hr = enumerator_->Next(count, fetched_ids.data(), &fetched);
    if (FAILED(hr)) return hr;
    if (hr == S_FALSE) ended_ = true;
    // S_FALSE may come with the last ids; S_OK means every id asked for came. A count
    // that disagrees with the ids handed over leaves it unknown what was skipped: the
    // enumeration failed.
    if (fetched > count || (hr == S_OK && fetched < count)) return E_UNEXPECTED;
    for (std::size_t i = 0; i < fetched_ids.size(); ++i) {
      if ((fetched_ids[i] == nullptr) == (i < fetched)) return E_UNEXPECTED;
    }
    ids->reserve(fetched);
    for (ULONG i = 0; i < fetched; ++i) ids->push_back(FromWide(fetched_ids[i]));
    return hr;
  }

 private:
  ComPtr<IEnumPortableDeviceObjectIDs> enumerator_;
  bool ended_ = false;
};

class WpdPropertyValues : public PropertyValues {
 public:
  explicit WpdPropertyValues(ComPtr<IPortableDeviceValues> values) : values_(std::move(values)) {}

  DeviceResult GetStringValue(ObjectKey key, std::optional<std::u16string>* value) override {
    CoTaskMemString text;
    const HRESULT hr = values_->GetStringValue(KeyOf(key), text.Receive());
    if (FAILED(hr)) return hr;
    if (text.get() == nullptr) return E_POINTER;
    *value = FromWide(text.get());
    return hr;
  }

  DeviceResult GetGuidValue(ObjectKey key, Guid* value) override {
    GUID guid = {};
    const HRESULT hr = values_->GetGuidValue(KeyOf(key), &guid);
    if (FAILED(hr)) return hr;
    value->data1 = guid.Data1;
    value->data2 = guid.Data2;
    value->data3 = guid.Data3;
    std::memcpy(value->data4, guid.Data4, sizeof(value->data4));
    return hr;
  }

  DeviceResult GetUnsignedLargeIntegerValue(ObjectKey key, std::uint64_t* value) override {
    ULONGLONG number = 0;
    const HRESULT hr = values_->GetUnsignedLargeIntegerValue(KeyOf(key), &number);
    if (FAILED(hr)) return hr;
    *value = number;
    return hr;
  }

  DeviceResult GetUnsignedIntegerValue(ObjectKey key, std::uint32_t* value) override {
    ULONG number = 0;
    const HRESULT hr = values_->GetUnsignedIntegerValue(KeyOf(key), &number);
    if (FAILED(hr)) return hr;
    *value = number;
    return hr;
  }

  DeviceResult GetBoolValue(ObjectKey key, bool* value) override {
    BOOL flag = FALSE;
    const HRESULT hr = values_->GetBoolValue(KeyOf(key), &flag);
    if (FAILED(hr)) return hr;
    *value = flag != FALSE;
    return hr;
  }

  DeviceResult GetErrorValue(ObjectKey key, DeviceResult* reason) override {
    HRESULT stored = S_OK;
    const HRESULT hr = values_->GetErrorValue(KeyOf(key), &stored);
    if (FAILED(hr)) return hr;
    *reason = stored;
    return hr;
  }

 private:
  ComPtr<IPortableDeviceValues> values_;
};

class WpdDeviceProperties : public DeviceProperties {
 public:
  explicit WpdDeviceProperties(ComPtr<IPortableDeviceProperties> properties)
      : properties_(std::move(properties)) {}

  DeviceResult GetValues(const std::u16string& object_id, KeyCollection& keys,
                         std::unique_ptr<PropertyValues>* values) override {
    const auto* wpd_keys = dynamic_cast<const WpdKeyCollection*>(&keys);
    if (wpd_keys == nullptr) return E_INVALIDARG;
    ComPtr<IPortableDeviceValues> read;
    const HRESULT hr = properties_->GetValues(ToWide(object_id), wpd_keys->get(), &read);
    if (FAILED(hr)) return hr;
    if (read != nullptr) *values = std::make_unique<WpdPropertyValues>(std::move(read));
    return hr;
  }

 private:
  ComPtr<IPortableDeviceProperties> properties_;
};

class WpdIdCollection : public IdCollection {
 public:
  explicit WpdIdCollection(ComPtr<IPortableDevicePropVariantCollection> ids)
      : ids_(std::move(ids)) {}

  // The collection keeps its own copy of the value, so ours is cleared after Add.
  DeviceResult Add(const std::u16string& object_id) override {
    const std::size_t bytes = (object_id.size() + 1) * sizeof(wchar_t);
    auto* text = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (text == nullptr) return E_OUTOFMEMORY;
    std::memcpy(text, object_id.c_str(), bytes);
    PropVariantHolder value;
    PROPVARIANT* variant = value.Receive();
    variant->vt = VT_LPWSTR;
    variant->pwszVal = text;
    return ids_->Add(variant);
  }

  IPortableDevicePropVariantCollection* get() const { return ids_.Get(); }

 private:
  ComPtr<IPortableDevicePropVariantCollection> ids_;
};

class WpdDeleteResults : public DeleteResults {
 public:
  explicit WpdDeleteResults(ComPtr<IPortableDevicePropVariantCollection> results)
      : results_(std::move(results)) {}

  DeviceResult GetCount(std::uint32_t* count) override {
    DWORD elements = 0;
    const HRESULT hr = results_->GetCount(&elements);
    if (SUCCEEDED(hr)) *count = elements;
    return hr;
  }

  DeviceResult GetAt(std::uint32_t index, std::optional<std::int32_t>* error_code) override {
    PropVariantHolder element;
    const HRESULT hr = results_->GetAt(index, element.Receive());
    if (FAILED(hr)) return hr;
    error_code->reset();
    if (element.get().vt == VT_ERROR) *error_code = element.get().scode;
    return hr;
  }

 private:
  ComPtr<IPortableDevicePropVariantCollection> results_;
};

class WpdDeviceContent : public DeviceContent {
 public:
  explicit WpdDeviceContent(ComPtr<IPortableDeviceContent> content)
      : content_(std::move(content)) {}

  DeviceResult Properties(std::unique_ptr<DeviceProperties>* properties) override {
    ComPtr<IPortableDeviceProperties> wpd_properties;
    const HRESULT hr = content_->Properties(&wpd_properties);
    if (FAILED(hr)) return hr;
    if (wpd_properties != nullptr) {
      *properties = std::make_unique<WpdDeviceProperties>(std::move(wpd_properties));
    }
    return hr;
  }

  DeviceResult EnumObjects(const std::u16string& parent_id,
                           std::unique_ptr<ObjectIdEnumerator>* enumerator) override {
    ComPtr<IEnumPortableDeviceObjectIDs> wpd_enumerator;
    const HRESULT hr = content_->EnumObjects(0, ToWide(parent_id), nullptr, &wpd_enumerator);
    if (FAILED(hr)) return hr;
    if (wpd_enumerator != nullptr) {
      *enumerator = std::make_unique<WpdObjectIdEnumerator>(std::move(wpd_enumerator));
    }
    return hr;
  }

  DeviceResult Delete(IdCollection& ids, std::unique_ptr<DeleteResults>* results) override {
    const auto* wpd_ids = dynamic_cast<const WpdIdCollection*>(&ids);
    if (wpd_ids == nullptr) return E_INVALIDARG;
    ComPtr<IPortableDevicePropVariantCollection> statuses;
    const HRESULT hr =
        content_->Delete(PORTABLE_DEVICE_DELETE_NO_RECURSION, wpd_ids->get(), &statuses);
    if (FAILED(hr)) return hr;
    if (statuses != nullptr) *results = std::make_unique<WpdDeleteResults>(std::move(statuses));
    return hr;
  }

 private:
  ComPtr<IPortableDeviceContent> content_;
};

class WpdPortableDevice : public PortableDevice {
 public:
  explicit WpdPortableDevice(ComPtr<IPortableDevice> device) : device_(std::move(device)) {}

  DeviceResult Open(const std::u16string& device_id,
                    ClientInformation& client_information) override {
    const auto* values = dynamic_cast<const WpdClientInformation*>(&client_information);
    if (values == nullptr) return E_INVALIDARG;
    return device_->Open(ToWide(device_id), values->get());
  }

  DeviceResult Content(std::unique_ptr<DeviceContent>* content) override {
    ComPtr<IPortableDeviceContent> wpd_content;
    const HRESULT hr = device_->Content(&wpd_content);
    if (FAILED(hr)) return hr;
    if (wpd_content != nullptr) {
      *content = std::make_unique<WpdDeviceContent>(std::move(wpd_content));
    }
    return hr;
  }

  DeviceResult Close() override { return device_->Close(); }

 private:
  ComPtr<IPortableDevice> device_;
};

// Creates one WPD class in process. On success with a null interface nothing is handed
// out and the success is passed on: the caller tells the two apart.
template <typename Interface, typename Wrapper, typename Base>
DeviceResult Create(const CLSID& class_id, std::unique_ptr<Base>* out) {
  ComPtr<Interface> object;
  const HRESULT hr =
      CoCreateInstance(class_id, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object));
  if (FAILED(hr)) return hr;
  if (object != nullptr) *out = std::make_unique<Wrapper>(std::move(object));
  return hr;
}

class WpdDeviceLayer : public DeviceLayer {
 public:
  DeviceResult CreateManager(std::unique_ptr<DeviceManager>* manager) override {
    return Create<IPortableDeviceManager, WpdDeviceManager>(CLSID_PortableDeviceManager, manager);
  }
  DeviceResult CreateKeyCollection(std::unique_ptr<KeyCollection>* keys) override {
    return Create<IPortableDeviceKeyCollection, WpdKeyCollection>(CLSID_PortableDeviceKeyCollection,
                                                                  keys);
  }
  DeviceResult CreateClientInformation(std::unique_ptr<ClientInformation>* info) override {
    return Create<IPortableDeviceValues, WpdClientInformation>(CLSID_PortableDeviceValues, info);
  }
  // The free-threaded device object: the service's threads are single-threaded
  // apartments, where this class avoids marshalling every call.
  DeviceResult CreateDevice(std::unique_ptr<PortableDevice>* device) override {
    return Create<IPortableDevice, WpdPortableDevice>(CLSID_PortableDeviceFTM, device);
  }
  DeviceResult CreateIdCollection(std::unique_ptr<IdCollection>* ids) override {
    return Create<IPortableDevicePropVariantCollection, WpdIdCollection>(
        CLSID_PortableDevicePropVariantCollection, ids);
  }
};

}  // namespace

std::unique_ptr<DeviceLayer> MakeWpdDeviceLayer() { return std::make_unique<WpdDeviceLayer>(); }

}  // namespace camvey::ptp
