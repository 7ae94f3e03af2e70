// The service's WPD layer against the simulated WPD server, which serves the phone
// from a file this process writes and hands it back after the pass.

#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "ptp/device/wpd_device_layer_win.h"
#include "standins/phone/phone_json.h"
#include "standins/wpd_server/wpd_sim_control.h"
#include "tests/ptp/device/layer_under_test.h"
#include "text/wide_text.h"

namespace camvey::ptp {
namespace {

using nlohmann::json;

// Per process: the suites may run side by side in one folder.
std::string FileName(const char* what) {
  return "layer_under_test_" + std::to_string(GetCurrentProcessId()) + "_" + what + ".json";
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int Calls(const json& records, const char* method) {
  const json calls = records.value("calls", json::object());
  return calls.value(method, 0);
}

class WpdLayerUnderTest : public LayerUnderTest {
 public:
  WpdLayerUnderTest() {
    // One apartment for the whole process: the server stays loaded between the suites.
    static const bool entered = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    EXPECT_TRUE(entered);
  }

  DeviceLayer& Serve(phone::Phone* phone) override {
    phone_ = phone;
    served_ = *phone;
    std::ofstream(FileName("served"), std::ios::binary) << phone::WritePhoneJson(*phone);
    SetEnvironmentVariableA("CAMVEY_SIM_PHONE", FileName("served").c_str());
    SetEnvironmentVariableA("CAMVEY_SIM_PHONE_OUT", nullptr);
    layer_ = MakeWpdDeviceLayer();
    if (!phone::wpd::WpdSimControl::Find().found()) {
      // Loads the server; its answer does not matter.
      std::unique_ptr<KeyCollection> loader;
      layer_->CreateKeyCollection(&loader);
    }
    control_ = phone::wpd::WpdSimControl::Find();
    EXPECT_TRUE(control_.found()) << "the simulated WPD server is not registered";
    if (control_.found()) {
      EXPECT_EQ(control_.reload(), 0);
    }
    return *layer_;
  }

  void Finish() override {
    if (!control_.found()) return;
    EXPECT_EQ(control_.live_objects(), 0) << "every server object is released";
    EXPECT_EQ(control_.unfreed_strings(), 0) << "every handed-out string is freed";
    const json records = Records();
    for (const json& device : records.value("released_devices", json::array())) {
      EXPECT_FALSE(device["open"].get<bool>()) << device["device"] << " released before Close";
    }
    const std::string after = FileName("after");
    ASSERT_EQ(control_.write_phone(std::wstring(after.begin(), after.end()).c_str()), 0);
    std::vector<phone::DeletedObject> deleted = std::move(phone_->deleted);
    *phone_ = phone::Phone();
    std::string problem;
    ASSERT_TRUE(phone::ReadPhoneJson(ReadText(after), phone_, &problem)) << problem;
    for (const json& object : records.value("deleted", json::array())) {
      phone::DeletedObject record;
      record.device_id = text::Utf8ToWide(object["device"].get<std::string>());
      record.object_id = text::Utf8ToWide(object["object"].get<std::string>());
      record.name = text::Utf8ToWide(object["name"].get<std::string>());
      const phone::SimDevice* device = served_.FindDevice(record.device_id);
      if (device != nullptr && device->Find(record.object_id) != nullptr) {
        record.parent_id = device->Find(record.object_id)->parent_id;
        record.depth = device->Depth(record.object_id);
      }
      deleted.push_back(std::move(record));
    }
    phone_->deleted = std::move(deleted);
  }

  void ResetCounts() override {
    if (control_.found()) control_.clear_records();
  }

  int live_objects() const override { return control_.found() ? control_.live_objects() : 0; }

  LayerCounts counts() const override {
    const json records = Records();
    LayerCounts counts;
    counts.create_manager = Calls(records, "create PortableDeviceManager");
    counts.create_key_collection = Calls(records, "create PortableDeviceKeyCollection");
    counts.open = Calls(records, "IPortableDevice::Open");
    counts.content = Calls(records, "IPortableDevice::Content");
    counts.properties = Calls(records, "IPortableDeviceContent::Properties");
    counts.close = Calls(records, "IPortableDevice::Close");
    counts.enum_objects = Calls(records, "IPortableDeviceContent::EnumObjects");
    counts.next = Calls(records, "IEnumPortableDeviceObjectIDs::Next");
    counts.get_values = Calls(records, "IPortableDeviceProperties::GetValues");
    counts.add_id = Calls(records, "IPortableDevicePropVariantCollection::Add");
    counts.delete_request = Calls(records, "IPortableDeviceContent::Delete");
    return counts;
  }

  std::map<std::pair<std::u16string, std::u16string>, int> enumerations() const override {
    std::map<std::pair<std::u16string, std::u16string>, int> all;
    const json records = Records();
    const json by_device = records.value("enumerations", json::object());
    for (const auto& [device, parents] : by_device.items()) {
      for (const auto& [parent, count] : parents.items()) {
        all[{text::Utf8ToWide(device), text::Utf8ToWide(parent)}] = count.get<int>();
      }
    }
    return all;
  }

  bool through_wpd() const override { return true; }

  ~WpdLayerUnderTest() override {
    std::remove(FileName("served").c_str());
    std::remove(FileName("after").c_str());
  }

 private:
  json Records() const {
    return control_.found() ? json::parse(control_.Records()) : json::object();
  }

  phone::Phone* phone_ = nullptr;
  phone::Phone served_;
  std::unique_ptr<DeviceLayer> layer_;
  phone::wpd::WpdSimControl control_;
};

}  // namespace

std::unique_ptr<LayerUnderTest> MakeWpdLayerUnderTest() {
  return std::make_unique<WpdLayerUnderTest>();
}

}  // namespace camvey::ptp
