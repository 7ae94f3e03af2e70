// The simulated WPD server through raw COM calls, as the device layer makes them: what
// it records of its callers' inputs, how each fault switch of the phone shows, and its
// counts of live objects and unfreed strings. Needs the server registered in the Wine
// prefix (the wpd_sim CTest fixture).

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "ptp/device/com_holders_win.h"
#include "ptp/device/wpd_api_win.h"
#include "standins/phone/phone_json.h"
#include "standins/phone/phone_model.h"
#include "standins/wpd_server/wpd_sim_control.h"

namespace camvey::phone::wpd {
namespace {

using Microsoft::WRL::ComPtr;
using nlohmann::json;

constexpr HRESULT kBusy = HRESULT_FROM_WIN32(ERROR_BUSY);
constexpr HRESULT kAccessDenied = E_ACCESSDENIED;
constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
constexpr HRESULT kHung = static_cast<HRESULT>(0x802A0006);
// What Delete's statuses record for an element that is no error value.
constexpr HRESULT kNoErrorValue = S_FALSE;

std::wstring TempFile(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + name;
}

// One device with a storage, a month folder and three photos.
json BasePhone() {
  return json::parse(R"({"devices": [{
    "id": "usb#iphone", "friendly_name": "Anna's iPhone", "manufacturer": "Apple Inc.",
    "storages": [{"id": "s1", "name": "Internal Storage", "children": [
      {"id": "f1", "name": "202401__", "children": [
        {"id": "o1", "name": "IMG_0001.JPG"},
        {"id": "o2", "name": "IMG_0002.JPG"},
        {"id": "o3", "name": "IMG_0003.JPG"}]}]}]}]})");
}

json& Photo(json& phone, int index) {
  return phone["devices"][0]["storages"][0]["children"][0]["children"][index];
}

std::wstring TakeString(LPWSTR text) {
  std::wstring copy = text == nullptr ? L"(null)" : text;
  CoTaskMemFree(text);
  return copy;
}

class WpdServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    SetEnvironmentVariableW(L"CAMVEY_SIM_PHONE_OUT", out_path_.c_str());
    Serve(BasePhone());
  }
  void TearDown() override {
    ASSERT_TRUE(control_.found());
    EXPECT_EQ(control_.live_objects(), 0);
    EXPECT_EQ(control_.unfreed_strings(), 0);
    CoUninitialize();
  }

  // Serves `phone` from a fresh file named by the server's own setting.
  void Serve(const json& phone) {
    FILE* file = _wfopen(phone_path_.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    const std::string text = phone.dump();
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    SetEnvironmentVariableW(L"CAMVEY_SIM_PHONE", phone_path_.c_str());
    if (!WpdSimControl::Find().found()) {
      // Any class loads the server into the process, for good.
      ComPtr<IPortableDeviceKeyCollection> loader;
      ASSERT_EQ(CoCreateInstance(CLSID_PortableDeviceKeyCollection, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(&loader)),
                S_OK);
    }
    control_ = WpdSimControl::Find();
    ASSERT_TRUE(control_.found());
    ASSERT_EQ(control_.reload(), 0);
  }

  json Records() const { return json::parse(control_.Records()); }

  template <typename Interface>
  ComPtr<Interface> Create(const CLSID& clsid, HRESULT expected = S_OK) {
    ComPtr<Interface> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)),
              expected);
    return object;
  }

  // An open device with its content and properties, as the service holds one.
  struct Session {
    ComPtr<IPortableDevice> device;
    ComPtr<IPortableDeviceContent> content;
    ComPtr<IPortableDeviceProperties> properties;
  };
  Session Open(HRESULT expected_open = S_OK) {
    Session session;
    auto info = Create<IPortableDeviceValues>(CLSID_PortableDeviceValues);
    session.device = Create<IPortableDevice>(CLSID_PortableDeviceFTM);
    EXPECT_EQ(session.device->Open(L"usb#iphone", info.Get()), expected_open);
    if (expected_open != S_OK) return session;
    EXPECT_EQ(session.device->Content(&session.content), S_OK);
    EXPECT_EQ(session.content->Properties(&session.properties), S_OK);
    return session;
  }

  // The ids under `parent`, one Next of one id at a time; `*last` is the final result.
  static std::vector<std::wstring> List(IPortableDeviceContent* content, const wchar_t* parent,
                                        HRESULT* last) {
    std::vector<std::wstring> ids;
    ComPtr<IEnumPortableDeviceObjectIDs> children;
    *last = content->EnumObjects(0, parent, nullptr, &children);
    while (SUCCEEDED(*last)) {
      LPWSTR id = nullptr;
      ULONG fetched = 0;
      *last = children->Next(1, &id, &fetched);
      if (*last != S_OK || fetched != 1) break;
      ids.push_back(TakeString(id));
    }
    return ids;
  }

  // Deletes `ids`; the answer, and the statuses of the results (count failure: -1; an
  // element that is no error value: kNoErrorValue).
  HRESULT Delete(IPortableDeviceContent* content, const std::vector<const wchar_t*>& ids,
                 std::vector<HRESULT>* statuses) {
    auto collection =
        Create<IPortableDevicePropVariantCollection>(CLSID_PortableDevicePropVariantCollection);
    for (const wchar_t* id : ids) {
      PROPVARIANT value;
      PropVariantInit(&value);
      value.vt = VT_LPWSTR;
      value.pwszVal = const_cast<LPWSTR>(id);
      EXPECT_EQ(collection->Add(&value), S_OK);
    }
    ComPtr<IPortableDevicePropVariantCollection> results;
    const HRESULT answer =
        content->Delete(PORTABLE_DEVICE_DELETE_NO_RECURSION, collection.Get(), &results);
    if (results == nullptr) return answer;
    DWORD count = 0;
    if (FAILED(results->GetCount(&count))) statuses->push_back(-1);
    for (DWORD index = 0; index < count; ++index) {
      PROPVARIANT status;
      PropVariantInit(&status);
      const HRESULT got = results->GetAt(index, &status);
      statuses->push_back(FAILED(got) ? got : status.vt == VT_ERROR ? status.scode : kNoErrorValue);
      PropVariantClear(&status);
    }
    return answer;
  }

  std::wstring phone_path_ = TempFile(L"camvey-wpd-server-test-phone.json");
  std::wstring out_path_ = TempFile(L"camvey-wpd-server-test-out.json");
  WpdSimControl control_;
};

TEST_F(WpdServerTest, ServesEveryClassToTheMainAndAWorkerApartment) {
  const auto create_all = [] {
    int created = 0;
    const std::pair<const CLSID*, const IID*> classes[] = {
        {&CLSID_PortableDeviceManager, &IID_IPortableDeviceManager},
        {&CLSID_PortableDeviceFTM, &IID_IPortableDevice},
        {&CLSID_PortableDevice, &IID_IPortableDevice},
        {&CLSID_PortableDeviceKeyCollection, &IID_IPortableDeviceKeyCollection},
        {&CLSID_PortableDeviceValues, &IID_IPortableDeviceValues},
        {&CLSID_PortableDevicePropVariantCollection, &IID_IPortableDevicePropVariantCollection}};
    for (const auto& [clsid, iid] : classes) {
      ComPtr<IUnknown> object;
      const HRESULT made = CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, *iid,
                                            reinterpret_cast<void**>(object.GetAddressOf()));
      if (SUCCEEDED(made) && object != nullptr) ++created;
    }
    return created;
  };
  EXPECT_EQ(create_all(), 6);
  int created_by_worker = 0;
  std::thread worker([&] {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
    created_by_worker = create_all();
    CoUninitialize();
  });
  worker.join();
  EXPECT_EQ(created_by_worker, 6);
}

TEST_F(WpdServerTest, RecordsTheInputsOfAPassAndSavesThePhone) {
  json phone = BasePhone();
  Photo(phone, 0)["size"] = 5000000000;  // past 32 bits, as a long video is
  Photo(phone, 0)["can_delete"] = false;
  Photo(phone, 0)["access"] = 2;
  phone["devices"][0]["storages"][0]["access"] = 1;
  Photo(phone, 2)["faults"] = {"refuse"};
  Serve(phone);
  {
    auto manager = Create<IPortableDeviceManager>(CLSID_PortableDeviceManager);
    DWORD count = 0;
    ASSERT_EQ(manager->GetDevices(nullptr, &count), S_OK);
    ASSERT_EQ(count, 1u);
    LPWSTR id = nullptr;
    ASSERT_EQ(manager->GetDevices(&id, &count), S_OK);
    EXPECT_EQ(TakeString(id), L"usb#iphone");
    DWORD length = 0;
    ASSERT_EQ(manager->GetDeviceFriendlyName(L"usb#iphone", nullptr, &length), S_OK);
    std::wstring name(length, L'\0');
    ASSERT_EQ(manager->GetDeviceFriendlyName(L"usb#iphone", name.data(), &length), S_OK);
    EXPECT_STREQ(name.c_str(), L"Anna's iPhone");

    auto keys = Create<IPortableDeviceKeyCollection>(CLSID_PortableDeviceKeyCollection);
    keys->Add(WPD_OBJECT_ORIGINAL_FILE_NAME);
    keys->Add(WPD_OBJECT_NAME);
    keys->Add(WPD_OBJECT_CONTENT_TYPE);
    keys->Add(WPD_OBJECT_SIZE);
    keys->Add(WPD_OBJECT_CAN_DELETE);
    keys->Add(WPD_STORAGE_ACCESS_CAPABILITY);
    auto info = Create<IPortableDeviceValues>(CLSID_PortableDeviceValues);
    info->SetStringValue(WPD_CLIENT_NAME, L"Camvey");
    info->SetUnsignedIntegerValue(WPD_CLIENT_MAJOR_VERSION, 1);
    info->SetUnsignedIntegerValue(WPD_CLIENT_DESIRED_ACCESS, GENERIC_READ | GENERIC_WRITE);
    auto device = Create<IPortableDevice>(CLSID_PortableDeviceFTM);
    ASSERT_EQ(device->Open(L"usb#iphone", info.Get()), S_OK);
    ComPtr<IPortableDeviceContent> content;
    ASSERT_EQ(device->Content(&content), S_OK);
    ComPtr<IPortableDeviceProperties> properties;
    ASSERT_EQ(content->Properties(&properties), S_OK);

    HRESULT last = S_OK;
    EXPECT_THAT(List(content.Get(), L"DEVICE", &last), testing::ElementsAre(L"s1"));
    EXPECT_EQ(last, S_FALSE);
    EXPECT_THAT(List(content.Get(), L"f1", &last), testing::ElementsAre(L"o1", L"o2", L"o3"));
    ComPtr<IPortableDeviceValues> values;
    // The folder gives no size: one value could not be read.
    ASSERT_EQ(properties->GetValues(L"f1", keys.Get(), &values), S_FALSE);
    GUID type = {};
    EXPECT_EQ(values->GetGuidValue(WPD_OBJECT_CONTENT_TYPE, &type), S_OK);
    EXPECT_EQ(type, WPD_CONTENT_TYPE_FOLDER);
    LPWSTR file_name = nullptr;
    EXPECT_EQ(values->GetStringValue(WPD_OBJECT_ORIGINAL_FILE_NAME, &file_name), S_OK);
    EXPECT_EQ(TakeString(file_name), L"202401__");
    ULONGLONG size = 0;
    EXPECT_EQ(values->GetUnsignedLargeIntegerValue(WPD_OBJECT_SIZE, &size), DISP_E_TYPEMISMATCH);
    BOOL can_delete = TRUE;
    EXPECT_EQ(values->GetBoolValue(WPD_OBJECT_CAN_DELETE, &can_delete), DISP_E_TYPEMISMATCH);
    ULONG access = 0;
    EXPECT_EQ(values->GetUnsignedIntegerValue(WPD_STORAGE_ACCESS_CAPABILITY, &access),
              DISP_E_TYPEMISMATCH);
    ASSERT_EQ(properties->GetValues(L"o1", keys.Get(), &values), S_OK);
    EXPECT_EQ(values->GetUnsignedLargeIntegerValue(WPD_OBJECT_SIZE, &size), S_OK);
    EXPECT_EQ(size, 5000000000u);
    EXPECT_EQ(values->GetBoolValue(WPD_OBJECT_CAN_DELETE, &can_delete), S_OK);
    EXPECT_EQ(can_delete, FALSE);
    EXPECT_EQ(values->GetUnsignedIntegerValue(WPD_STORAGE_ACCESS_CAPABILITY, &access), S_OK);
    EXPECT_EQ(access, 2u);
    EXPECT_EQ(values->GetBoolValue(WPD_STORAGE_ACCESS_CAPABILITY, &can_delete),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(values->GetUnsignedIntegerValue(WPD_OBJECT_CAN_DELETE, &access), DISP_E_TYPEMISMATCH);
    ptp::PropVariantHolder raw;
    ASSERT_EQ(values->GetValue(WPD_OBJECT_SIZE, raw.Receive()), S_OK);
    EXPECT_EQ(raw.get().vt, VT_UI8);
    ASSERT_EQ(values->GetValue(WPD_OBJECT_CAN_DELETE, raw.Receive()), S_OK);
    EXPECT_EQ(raw.get().vt, VT_BOOL);
    EXPECT_EQ(raw.get().boolVal, VARIANT_FALSE);
    ASSERT_EQ(values->GetValue(WPD_STORAGE_ACCESS_CAPABILITY, raw.Receive()), S_OK);
    EXPECT_EQ(raw.get().vt, VT_UI4);

    std::vector<HRESULT> statuses;
    EXPECT_EQ(Delete(content.Get(), {L"o1", L"o3"}, &statuses), S_FALSE);
    EXPECT_THAT(statuses, testing::ElementsAre(S_OK, kAccessDenied));
    EXPECT_EQ(device->Close(), S_OK);
  }
  const json records = Records();
  EXPECT_EQ(records["opens"][0]["device"], "usb#iphone");
  EXPECT_EQ(records["opens"][0]["client_information"],
            json::parse(R"([{"key": "WPD_CLIENT_NAME", "type": "VT_LPWSTR", "value": "Camvey"},
                            {"key": "WPD_CLIENT_MAJOR_VERSION", "type": "VT_UI4", "value": 1},
                            {"key": "WPD_CLIENT_DESIRED_ACCESS", "type": "VT_UI4",
                             "value": 3221225472}])"));
  EXPECT_EQ(records["key_sets"], json::parse(R"([{"keys": ["WPD_OBJECT_ORIGINAL_FILE_NAME",
      "WPD_OBJECT_NAME", "WPD_OBJECT_CONTENT_TYPE", "WPD_OBJECT_SIZE", "WPD_OBJECT_CAN_DELETE",
      "WPD_STORAGE_ACCESS_CAPABILITY"], "calls": 2}])"));
  EXPECT_EQ(records["next_counts"], json::parse(R"({"1": 6})"));
  EXPECT_EQ(records["enumerations"], json::parse(R"({"usb#iphone": {"DEVICE": 1, "f1": 1}})"));
  EXPECT_EQ(records["deletes"], json::parse(R"([{"device": "usb#iphone", "options": 0,
      "id_types": ["VT_LPWSTR", "VT_LPWSTR"], "ids": ["o1", "o3"]}])"));
  EXPECT_EQ(records["delete_calls"], json::parse(R"({"usb#iphone": 1})"));
  EXPECT_EQ(records["released_devices"],
            json::parse(R"([{"device": "usb#iphone", "open": false}])"));
  EXPECT_EQ(records["deleted"],
            json::parse(R"([{"device": "usb#iphone", "object": "o1", "name": "IMG_0001.JPG"}])"));
  EXPECT_EQ(records["calls"]["IPortableDeviceContent::Delete"], 1);

  // The saved phone lacks exactly the deleted photo.
  FILE* file = _wfopen(out_path_.c_str(), L"rb");
  ASSERT_NE(file, nullptr);
  std::string text(1 << 16, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  Phone saved;
  std::string problem;
  ASSERT_TRUE(ReadPhoneJson(text, &saved, &problem)) << problem;
  EXPECT_EQ(saved.devices[0].Find(u"o1"), nullptr);
  EXPECT_NE(saved.devices[0].Find(u"o2"), nullptr);
  EXPECT_NE(saved.devices[0].Find(u"o3"), nullptr);
  EXPECT_EQ(saved.devices[0].Find(u"s1")->access, 1u);
}

TEST_F(WpdServerTest, CountsWhatACallerKeeps) {
  auto manager = Create<IPortableDeviceManager>(CLSID_PortableDeviceManager);
  DWORD count = 1;
  LPWSTR id = nullptr;
  ASSERT_EQ(manager->GetDevices(&id, &count), S_OK);
  EXPECT_EQ(control_.unfreed_strings(), 1);
  EXPECT_EQ(control_.live_objects(), 1);
  EXPECT_EQ(control_.reload(), 1);  // objects alive point into the phone
  CoTaskMemFree(id);
  manager.Reset();

  Open().device.Reset();  // released while open
  EXPECT_EQ(Records()["released_devices"],
            json::parse(R"([{"device": "usb#iphone", "open": true}])"));
}

TEST_F(WpdServerTest, DeviceListFaults) {
  struct Case {
    const char* fault;
    std::function<void(IPortableDeviceManager*)> check;
  };
  std::vector<Case> cases = {
      {"refresh", [](IPortableDeviceManager* m) { EXPECT_EQ(m->RefreshDeviceList(), E_FAIL); }},
      {"device_count",
       [](IPortableDeviceManager* m) {
         DWORD count = 0;
         EXPECT_EQ(m->GetDevices(nullptr, &count), E_FAIL);
       }},
      {"device_ids",
       [](IPortableDeviceManager* m) {
         DWORD count = 1;
         LPWSTR id = nullptr;
         EXPECT_EQ(m->GetDevices(&id, &count), E_FAIL);
         EXPECT_EQ(id, nullptr);
       }},
  };
  cases.push_back({"devices_added", [](IPortableDeviceManager* m) {
                     // The count misses the device attached since; an ids call with the
                     // room counted says that more were there.
                     DWORD count = 5;
                     EXPECT_EQ(m->GetDevices(nullptr, &count), S_OK);
                     EXPECT_EQ(count, 0u);
                     LPWSTR id = nullptr;
                     EXPECT_EQ(m->GetDevices(&id, &count), S_FALSE);
                     EXPECT_EQ(count, 0u);
                     EXPECT_EQ(id, nullptr);
                   }});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    json phone = BasePhone();
    phone["faults"] = {c.fault};
    Serve(phone);
    c.check(Create<IPortableDeviceManager>(CLSID_PortableDeviceManager).Get());
  }
  const std::pair<const char*, const CLSID*> refused_classes[] = {
      {"create_manager", &CLSID_PortableDeviceManager},
      {"create_device", &CLSID_PortableDeviceFTM},
      {"create_key_collection", &CLSID_PortableDeviceKeyCollection},
      {"create_client_information", &CLSID_PortableDeviceValues},
      {"create_id_collection", &CLSID_PortableDevicePropVariantCollection}};
  for (const auto& [fault, clsid] : refused_classes) {
    SCOPED_TRACE(fault);
    json phone = BasePhone();
    phone["faults"] = {fault};
    Serve(phone);
    Create<IUnknown>(*clsid, E_FAIL);
  }
}

TEST_F(WpdServerTest, DeviceTextFaults) {
  json phone = BasePhone();
  phone["devices"][0]["faults"] = {"null_id", "manufacturer"};
  phone["devices"][0]["length_excludes_nul"] = true;
  Serve(phone);
  auto manager = Create<IPortableDeviceManager>(CLSID_PortableDeviceManager);
  DWORD count = 1;
  LPWSTR id = reinterpret_cast<LPWSTR>(1);
  EXPECT_EQ(manager->GetDevices(&id, &count), S_OK);
  EXPECT_EQ(id, nullptr);
  EXPECT_EQ(count, 1u);
  DWORD length = 0;
  EXPECT_EQ(manager->GetDeviceManufacturer(L"usb#iphone", nullptr, &length), E_FAIL);
  ASSERT_EQ(manager->GetDeviceFriendlyName(L"usb#iphone", nullptr, &length), S_OK);
  EXPECT_EQ(length, 13u);  // without the NUL
  std::wstring name(length + 1, L'\0');
  EXPECT_EQ(manager->GetDeviceFriendlyName(L"usb#iphone", name.data(), &length),
            HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
  length = static_cast<DWORD>(name.size());
  EXPECT_EQ(manager->GetDeviceFriendlyName(L"usb#iphone", name.data(), &length), S_OK);
  EXPECT_STREQ(name.c_str(), L"Anna's iPhone");

  // Drivers that keep no such value, or want a larger buffer whatever it is given.
  for (const HRESULT code :
       {HRESULT_FROM_WIN32(ERROR_INVALID_DATA), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER)}) {
    phone["devices"][0]["faults"] = {"friendly_name"};
    phone["devices"][0]["fault_codes"] = {{"friendly_name", code}};
    manager.Reset();
    Serve(phone);
    manager = Create<IPortableDeviceManager>(CLSID_PortableDeviceManager);
    EXPECT_EQ(manager->GetDeviceFriendlyName(L"usb#iphone", nullptr, &length), code);
  }
}

TEST_F(WpdServerTest, DeviceAndListingFaults) {
  for (const char* fault : {"open", "content", "properties", "close"}) {
    SCOPED_TRACE(fault);
    json phone = BasePhone();
    phone["devices"][0]["faults"] = {fault};
    Serve(phone);
    Session session;
    auto info = Create<IPortableDeviceValues>(CLSID_PortableDeviceValues);
    session.device = Create<IPortableDevice>(CLSID_PortableDeviceFTM);
    const HRESULT opened = session.device->Open(L"usb#iphone", info.Get());
    EXPECT_EQ(opened, std::string(fault) == "open" ? kBusy : S_OK);
    if (std::string(fault) == "open") {
      phone["devices"][0]["fault_codes"] = {{"open", kAccessDenied}};
      info.Reset();
      session.device.Reset();
      Serve(phone);
      info = Create<IPortableDeviceValues>(CLSID_PortableDeviceValues);
      EXPECT_EQ(Create<IPortableDevice>(CLSID_PortableDeviceFTM)->Open(L"usb#iphone", info.Get()),
                kAccessDenied);
    }
    if (FAILED(opened)) continue;
    const HRESULT content = session.device->Content(&session.content);
    EXPECT_EQ(content, std::string(fault) == "content" ? E_FAIL : S_OK);
    if (SUCCEEDED(content)) {
      EXPECT_EQ(session.content->Properties(&session.properties),
                std::string(fault) == "properties" ? E_FAIL : S_OK);
    }
    EXPECT_EQ(session.device->Close(), std::string(fault) == "close" ? E_FAIL : S_OK);
  }

  json phone = BasePhone();
  phone["devices"][0]["storages"][0]["faults"] = {"enum_objects"};
  Photo(phone, 1)["faults"] = {"next"};
  Photo(phone, 0)["faults"] = {"file_name", "size", "can_delete", "access"};
  Photo(phone, 0)["type"] = nullptr;
  Photo(phone, 0)["size"] = 2483120;
  Photo(phone, 0)["can_delete"] = true;
  Photo(phone, 0)["access"] = 0;
  Photo(phone, 2)["faults"] = {"get_values"};
  Serve(phone);
  Session session = Open();
  HRESULT last = S_OK;
  EXPECT_THAT(List(session.content.Get(), L"s1", &last), testing::IsEmpty());
  EXPECT_EQ(last, E_FAIL);
  EXPECT_THAT(List(session.content.Get(), L"f1", &last), testing::ElementsAre(L"o1"));
  EXPECT_EQ(last, E_FAIL);

  auto keys = Create<IPortableDeviceKeyCollection>(CLSID_PortableDeviceKeyCollection);
  keys->Add(WPD_OBJECT_ORIGINAL_FILE_NAME);
  keys->Add(WPD_OBJECT_NAME);
  keys->Add(WPD_OBJECT_CONTENT_TYPE);
  keys->Add(WPD_OBJECT_SIZE);
  keys->Add(WPD_OBJECT_CAN_DELETE);
  keys->Add(WPD_STORAGE_ACCESS_CAPABILITY);
  ComPtr<IPortableDeviceValues> values;
  EXPECT_EQ(session.properties->GetValues(L"o3", keys.Get(), &values), E_FAIL);
  EXPECT_EQ(values, nullptr);
  ASSERT_EQ(session.properties->GetValues(L"o1", keys.Get(), &values), S_FALSE);
  // A value the device could not read is an error value, of the wrong type for any getter.
  LPWSTR text = nullptr;
  EXPECT_EQ(values->GetStringValue(WPD_OBJECT_ORIGINAL_FILE_NAME, &text), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(values->GetStringValue(WPD_OBJECT_NAME, &text), S_OK);
  EXPECT_EQ(TakeString(text), L"IMG_0001.JPG");
  GUID type = {};
  EXPECT_EQ(values->GetGuidValue(WPD_OBJECT_CONTENT_TYPE, &type), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(values->GetStringValue(WPD_OBJECT_CONTENT_TYPE, &text), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(values->GetStringValue(WPD_OBJECT_PARENT_ID, &text), kNotFound);
  ULONGLONG size = 0;
  EXPECT_EQ(values->GetUnsignedLargeIntegerValue(WPD_OBJECT_SIZE, &size), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(values->GetUnsignedLargeIntegerValue(WPD_OBJECT_NAME, &size), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(values->GetUnsignedLargeIntegerValue(WPD_OBJECT_PARENT_ID, &size), kNotFound);
  BOOL can_delete = FALSE;
  EXPECT_EQ(values->GetBoolValue(WPD_OBJECT_CAN_DELETE, &can_delete), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(values->GetBoolValue(WPD_OBJECT_NAME, &can_delete), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(values->GetBoolValue(WPD_OBJECT_PARENT_ID, &can_delete), kNotFound);
  ULONG access = 7;
  EXPECT_EQ(values->GetUnsignedIntegerValue(WPD_STORAGE_ACCESS_CAPABILITY, &access),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(values->GetUnsignedIntegerValue(WPD_OBJECT_PARENT_ID, &access), kNotFound);
  for (const PROPERTYKEY& key :
       {WPD_OBJECT_SIZE, WPD_OBJECT_CAN_DELETE, WPD_STORAGE_ACCESS_CAPABILITY}) {
    ptp::PropVariantHolder raw;
    ASSERT_EQ(values->GetValue(key, raw.Receive()), S_OK);
    EXPECT_EQ(raw.get().vt, VT_ERROR);
    EXPECT_EQ(raw.get().scode, E_FAIL);
  }
  values.Reset();
  EXPECT_EQ(session.properties->GetValues(L"gone", keys.Get(), &values), kNotFound);
  ComPtr<IEnumPortableDeviceObjectIDs> children;
  EXPECT_EQ(session.content->EnumObjects(0, L"gone", nullptr, &children), kNotFound);
  EXPECT_EQ(session.device->Close(), S_OK);
}

// How drivers end a listing, as the reference allows: the last ids may come with
// S_FALSE, the end may come as S_OK without an id; and ids a driver claims but did not
// hand over.
TEST_F(WpdServerTest, NextAnswersAsDriversDo) {
  struct Answer {
    HRESULT result;
    ULONG fetched;
    std::vector<std::wstring> ids;  // "(null)" for a null id
  };
  const auto next = [](IEnumPortableDeviceObjectIDs* children, ULONG count) {
    std::vector<LPWSTR> raw(count + 1, nullptr);
    Answer answer;
    answer.result = children->Next(count, raw.data(), &answer.fetched);
    for (ULONG i = 0; i < count + 1; ++i) {
      if (i < answer.fetched || raw[i] != nullptr) answer.ids.push_back(TakeString(raw[i]));
    }
    return answer;
  };
  const auto expect = [](const Answer& answer, HRESULT result, ULONG fetched,
                         std::vector<std::wstring> ids) {
    EXPECT_EQ(answer.result, result);
    EXPECT_EQ(answer.fetched, fetched);
    EXPECT_EQ(answer.ids, ids);
  };
  const auto enumerate = [](const Session& session) {
    ComPtr<IEnumPortableDeviceObjectIDs> children;
    EXPECT_EQ(session.content->EnumObjects(0, L"f1", nullptr, &children), S_OK);
    return children;
  };
  {
    SCOPED_TRACE("a partial batch");
    Session session = Open();
    auto children = enumerate(session);
    expect(next(children.Get(), 2), S_OK, 2, {L"o1", L"o2"});
    expect(next(children.Get(), 2), S_FALSE, 1, {L"o3"});
    expect(next(children.Get(), 2), S_FALSE, 0, {});
    session.device->Close();
  }
  json phone = BasePhone();
  phone["devices"][0]["faults"] = {"false_with_last_id", "ok_without_id"};
  Photo(phone, 0)["faults"] = {"next_null_id"};
  Photo(phone, 1)["faults"] = {"next_extra_id"};
  Serve(phone);
  {
    SCOPED_TRACE("the last id with S_FALSE, the end with S_OK");
    Session session = Open();
    auto children = enumerate(session);
    expect(next(children.Get(), 1), S_OK, 1, {L"(null)"});
    expect(next(children.Get(), 1), S_OK, 2, {L"o2", L"(null)"});
    expect(next(children.Get(), 1), S_FALSE, 1, {L"o3"});
    expect(next(children.Get(), 1), S_OK, 0, {});
    session.device->Close();
  }
}

// After Close, or the last release of the device object, the objects it handed out
// stop working; a device that went away fails every call from its N-th on.
TEST_F(WpdServerTest, ClosedAndGoneDevicesAnswerNoMore) {
  auto keys = Create<IPortableDeviceKeyCollection>(CLSID_PortableDeviceKeyCollection);
  for (const bool release : {false, true}) {
    SCOPED_TRACE(release ? "released" : "closed");
    Session session = Open();
    ComPtr<IEnumPortableDeviceObjectIDs> children;
    ASSERT_EQ(session.content->EnumObjects(0, L"f1", nullptr, &children), S_OK);
    if (release) {
      session.device.Reset();
    } else {
      EXPECT_EQ(session.device->Close(), S_OK);
    }
    LPWSTR id = nullptr;
    ULONG fetched = 0;
    EXPECT_EQ(children->Next(1, &id, &fetched), kWpdDeviceNotOpen);
    ComPtr<IEnumPortableDeviceObjectIDs> more;
    EXPECT_EQ(session.content->EnumObjects(0, L"f1", nullptr, &more), kWpdDeviceNotOpen);
    ComPtr<IPortableDeviceValues> values;
    EXPECT_EQ(session.properties->GetValues(L"o1", keys.Get(), &values), kWpdDeviceNotOpen);
    ComPtr<IPortableDeviceProperties> properties;
    EXPECT_EQ(session.content->Properties(&properties), kWpdDeviceNotOpen);
  }

  json phone = BasePhone();
  phone["devices"][0]["gone_after"] = 4;  // Open, Content, Properties, EnumObjects
  phone["devices"][0]["gone_code"] = kHung;
  keys.Reset();
  Serve(phone);
  keys = Create<IPortableDeviceKeyCollection>(CLSID_PortableDeviceKeyCollection);
  Session session = Open();
  ComPtr<IEnumPortableDeviceObjectIDs> children;
  ASSERT_EQ(session.content->EnumObjects(0, L"f1", nullptr, &children), S_OK);
  LPWSTR id = nullptr;
  ULONG fetched = 0;
  EXPECT_EQ(children->Next(1, &id, &fetched), kHung);
  ComPtr<IPortableDeviceValues> values;
  EXPECT_EQ(session.properties->GetValues(L"o1", keys.Get(), &values), kHung);
  EXPECT_EQ(session.device->Close(), kHung);
}

TEST_F(WpdServerTest, DeletionFaults) {
  struct Case {
    const char* name;
    std::function<void(json&)> fault;
    HRESULT answer;
    std::vector<HRESULT> statuses;  // -1: the count cannot be read
    int deleted;
  };
  const Case cases[] = {
      {"delete", [](json& p) { p["devices"][0]["faults"] = {"delete"}; }, E_FAIL, {}, 0},
      {"no_results", [](json& p) { p["devices"][0]["faults"] = {"no_results"}; }, S_OK, {}, 2},
      {"results_count",
       [](json& p) { p["devices"][0]["faults"] = {"results_count"}; },
       S_OK,
       {-1},
       2},
      {"short_results", [](json& p) { p["devices"][0]["short_results"] = 1; }, S_OK, {S_OK}, 2},
      {"refuse",
       [](json& p) {
         Photo(p, 1)["faults"] = {"refuse"};
         Photo(p, 1)["refuse_code"] = static_cast<int>(kBusy);
       },
       S_FALSE,
       {S_OK, kBusy},
       1},
      {"result_element",
       [](json& p) { Photo(p, 0)["faults"] = {"result_element"}; },
       S_OK,
       {E_FAIL, S_OK},
       2},
      {"status_not_error",
       [](json& p) {
         Photo(p, 0)["faults"] = {"status_not_error"};
         Photo(p, 1)["faults"] = {"refuse"};
       },
       S_FALSE,
       {kNoErrorValue, kAccessDenied},
       1},
      {"delete_fails_after",
       [](json& p) { p["devices"][0]["delete_fails_after"] = 1; },
       E_FAIL,
       {},
       1},
      {"an object not on the device",
       [](json& p) { Photo(p, 1)["id"] = "o9"; },
       S_FALSE,
       {S_OK, kNotFound},
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    json phone = BasePhone();
    c.fault(phone);
    Serve(phone);
    Session session = Open();
    std::vector<HRESULT> statuses;
    EXPECT_EQ(Delete(session.content.Get(), {L"o1", L"o2"}, &statuses), c.answer);
    EXPECT_EQ(statuses, c.statuses);
    EXPECT_EQ(Records()["deleted"].size(), static_cast<std::size_t>(c.deleted));
    session.device->Close();
  }

  json phone = BasePhone();
  Photo(phone, 0)["faults"] = {"copy_id"};
  Serve(phone);
  auto collection =
      Create<IPortableDevicePropVariantCollection>(CLSID_PortableDevicePropVariantCollection);
  PROPVARIANT id;
  PropVariantInit(&id);
  id.vt = VT_LPWSTR;
  id.pwszVal = const_cast<LPWSTR>(L"o1");
  EXPECT_EQ(collection->Add(&id), E_OUTOFMEMORY);
  id.pwszVal = const_cast<LPWSTR>(L"o2");
  EXPECT_EQ(collection->Add(&id), S_OK);
}

}  // namespace
}  // namespace camvey::phone::wpd
