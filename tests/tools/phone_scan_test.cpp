#include "tools/phone_scan.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "standins/phone/phone_json.h"
#include "standins/phone/simulated_device_layer.h"

namespace camvey::tools {
namespace {

using phone::ContentType;
using phone::DeviceFaults;
using phone::kAccessDenied;
using phone::ObjectFaults;
using phone::Phone;
using phone::ReadPhoneJson;
using phone::SimDevice;
using phone::SimulatedDeviceLayer;
using phone::WritePhoneJson;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

Phone ReadPhone(const std::string& text) {
  Phone phone;
  std::string problem;
  EXPECT_TRUE(ReadPhoneJson(text, &phone, &problem)) << problem;
  return phone;
}

std::string ExamplePhoneText() {
  std::ifstream in(std::string(CAMVEY_PHONE_EXAMPLES) + "/phone.json", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Scan(ptp::DeviceLayer& layer, Phone* scanned, std::vector<std::string>* problems) {
  return ScanApplePhones(layer, scanned,
                         [&](const std::string& line) { problems->push_back(line); });
}

// What a scan can see of a phone: its Apple devices with their objects, no faults.
Phone VisiblePart(Phone phone) {
  Phone visible;
  for (SimDevice& device : phone.devices) {
    if (device.id.find(u"vid_05ac") == std::u16string::npos) continue;
    device.faults = DeviceFaults();
    for (auto& [id, object] : device.objects) {
      object.faults = ObjectFaults();
      object.refuse_code = kAccessDenied;
    }
    visible.devices.push_back(std::move(device));
  }
  return visible;
}

TEST(PhoneScanTest, ScanOfTheExamplePhoneReadsBackAsItsAppleDevices) {
  Phone phone = ReadPhone(ExamplePhoneText());
  const std::string before = WritePhoneJson(phone);
  SimulatedDeviceLayer layer(&phone);
  Phone scanned;
  std::vector<std::string> problems;
  ASSERT_TRUE(Scan(layer, &scanned, &problems));

  EXPECT_THAT(problems, IsEmpty());
  EXPECT_EQ(WritePhoneJson(ReadPhone(WritePhoneJson(scanned))), WritePhoneJson(VisiblePart(phone)));
  // Read-only: nothing was asked to go, the device was opened for reading only, and
  // the phone is as it was.
  EXPECT_EQ(layer.counts().create_id_collection, 0);
  EXPECT_EQ(layer.counts().delete_request, 0);
  ASSERT_EQ(layer.opened().size(), 1u);
  EXPECT_EQ(std::get<std::uint32_t>(layer.opened()[0].client_values.back().second), 0x80000000u);
  EXPECT_EQ(WritePhoneJson(phone), before);
  EXPECT_EQ(layer.live_objects(), 0);
}

TEST(PhoneScanTest, KeepsWhatADeviceFailsToTellAndGoesOn) {
  Phone phone = ReadPhone(R"({"devices": [
    {"id": "busy", "friendly_name": "iPhone", "faults": ["open"]},
    {"id": "ok", "manufacturer": "Apple Inc.", "storages": [
      {"id": "s1", "name": "Internal Storage", "access": 1, "children": [
        {"id": "f1", "name": "202401__", "faults": ["enum_objects"], "children": [
          {"id": "x1", "name": "IMG_0001.JPG"}]},
        {"id": "o1", "name": "IMG_0002.JPG", "faults": ["get_values"]},
        {"id": "o2", "name": "Holiday", "file_name": "IMG_0003.JPG", "type": "video",
         "size": 5000000000, "can_delete": false},
        {"id": "o3", "name": "IMG_0004.JPG", "size": 2483120, "can_delete": true,
         "faults": ["size", "can_delete"]}]},
      {"id": "s2", "name": "Card", "access": 2, "faults": ["access"]},
      {"id": "s3", "name": "Odd"}]}]})");
  // A capability the phone format cannot hold, as a driver might give one.
  phone.devices[1].Find(u"s3")->access = 7;
  SimulatedDeviceLayer layer(&phone);
  Phone scanned;
  std::vector<std::string> problems;
  ASSERT_TRUE(Scan(layer, &scanned, &problems));

  EXPECT_THAT(problems,
              ElementsAre("busy: cannot be opened (0x800700AA)",
                          "ok: s3 gives the access capability 7, which is none of 0, 1 and 2; "
                          "left out",
                          "ok: f1 cannot be listed (0x80004005)"));
  ASSERT_EQ(scanned.devices.size(), 2u);
  EXPECT_EQ(scanned.devices[0].objects.size(), 1u);  // the root alone
  const SimDevice& ok = scanned.devices[1];
  ASSERT_NE(ok.Find(u"f1"), nullptr);
  EXPECT_THAT(ok.Find(u"f1")->children, IsEmpty());
  EXPECT_EQ(ok.Find(u"o1")->type, ContentType::kNone);
  EXPECT_FALSE(ok.Find(u"o1")->name.has_value());
  EXPECT_EQ(ok.Find(u"o2")->name, u"Holiday");
  EXPECT_EQ(ok.Find(u"o2")->file_name, u"IMG_0003.JPG");
  EXPECT_EQ(ok.Find(u"o2")->type, ContentType::kVideo);
  EXPECT_EQ(ok.Find(u"o2")->size, 5000000000u);
  EXPECT_EQ(ok.Find(u"o3")->size, std::nullopt);
  // What the phone declares of deletion, where it could be read.
  EXPECT_EQ(ok.Find(u"s1")->access, 1u);
  EXPECT_EQ(ok.Find(u"s2")->access, std::nullopt);
  EXPECT_EQ(ok.Find(u"s3")->access, std::nullopt);
  EXPECT_EQ(ok.Find(u"o1")->can_delete, std::nullopt);
  EXPECT_EQ(ok.Find(u"o2")->can_delete, false);
  EXPECT_EQ(ok.Find(u"o3")->can_delete, std::nullopt);
  EXPECT_EQ(layer.live_objects(), 0);
}

// The scan follows a phone's folders to any depth and says, per storage, where the
// camera-roll folders are: a real iPhone keeps them in DCIM, older phones directly in
// the storage; anywhere else the service would not find them.
TEST(PhoneScanTest, FindsTheCameraRollAtAnyDepthAndSaysWhere) {
  Phone phone = ReadPhone(R"({"devices": [
    {"id": "usb#iphone", "friendly_name": "Anna's iPhone", "manufacturer": "Apple Inc.",
     "storages": [
      {"id": "s1", "name": "Internal Storage", "children": [
        {"id": "t1", "name": "202312__", "children": [{"id": "p1", "name": "IMG_0990.HEIC"}]},
        {"id": "d1", "name": "DCIM", "children": [
          {"id": "f1", "name": "100APPLE", "children": [{"id": "p2", "name": "IMG_0001.JPG"}]},
          {"id": "f2", "name": "202401__", "children": [
            {"id": "p3", "name": "IMG_1001.HEIC"},
            {"id": "p4", "name": "IMG_1001.AAE", "type": "other"}]},
          {"id": "f3", "name": "202401_a", "children": []},
          {"id": "f4", "name": "202413__", "children": []},
          {"id": "f5", "name": "Thumbs", "children": []}]}]},
      {"id": "s2", "name": "Card"}]},
    {"id": "usb#ipad", "manufacturer": "Apple Inc.", "storages": [
      {"id": "s1", "name": "Internal Storage", "children": [
        {"id": "a1", "name": "Photos", "children": [
          {"id": "d1", "name": "DCIM", "children": [
            {"id": "f1", "name": "202401__", "children": [
              {"id": "p1", "name": "IMG_0001.JPG"}]}]}]}]}]}]})");
  SimulatedDeviceLayer layer(&phone);
  Phone scanned;
  std::vector<std::string> problems;
  ASSERT_TRUE(Scan(layer, &scanned, &problems));

  EXPECT_THAT(problems, IsEmpty());
  EXPECT_EQ(WritePhoneJson(ReadPhone(WritePhoneJson(scanned))), WritePhoneJson(phone));
  EXPECT_THAT(CameraRollLines(scanned),
              ElementsAre("scan: Anna's iPhone: camera roll in Internal Storage (1 folder), "
                          "Internal Storage\\DCIM (3 folders)",
                          "scan: Anna's iPhone: no camera roll in Card",
                          "scan: usb#ipad: camera roll in Internal Storage\\Photos\\DCIM "
                          "(1 folder, too deep for the service)"));
}

TEST(PhoneScanTest, WithoutADeviceManagerThereIsNoScan) {
  Phone phone = ReadPhone(R"({"faults": ["create_manager"], "devices": []})");
  SimulatedDeviceLayer layer(&phone);
  Phone scanned;
  std::vector<std::string> problems;
  EXPECT_FALSE(Scan(layer, &scanned, &problems));
  EXPECT_THAT(problems, ElementsAre("no device manager (0x80004005)"));
}

}  // namespace
}  // namespace camvey::tools
