#include "standins/phone/phone_json.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace camvey::phone {
namespace {

std::string ReadExample(const char* name) {
  std::ifstream in(std::string(CAMVEY_PHONE_EXAMPLES) + "/" + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(PhoneJsonTest, ReadsTheExamplePhone) {
  Phone phone;
  std::string problem;
  ASSERT_TRUE(ReadPhoneJson(ReadExample("phone.json"), &phone, &problem)) << problem;
  ASSERT_EQ(phone.devices.size(), 2u);
  const SimDevice& iphone = phone.devices[0];
  EXPECT_EQ(iphone.friendly_name, u"Anna's iPhone");
  EXPECT_EQ(iphone.Find(kRootId)->children, std::vector<std::u16string>{u"s10001"});
  EXPECT_EQ(iphone.Find(u"s10001")->type, ContentType::kFunctionalObject);
  EXPECT_EQ(iphone.Find(u"o100")->name, u"DCIM");
  EXPECT_EQ(iphone.Find(u"o3000")->type, ContentType::kFolder);
  EXPECT_EQ(iphone.Find(u"o3002")->type, ContentType::kVideo);
  EXPECT_EQ(iphone.Find(u"o2004")->type, ContentType::kOther);
  EXPECT_TRUE(iphone.Find(u"o3003")->faults.refuse);
  EXPECT_EQ(iphone.Find(u"o3001")->size, 2483120u);
  EXPECT_EQ(iphone.Find(u"o3000")->size, std::nullopt);
  EXPECT_EQ(iphone.Depth(u"o3001"), 4);  // storage, DCIM, month folder, photo
}

TEST(PhoneJsonTest, WritesWhatItReads) {
  const std::string text = R"({"faults": ["refresh"], "devices": [
    {"id": "d", "friendly_name": "iPhone", "faults": ["no_results", "close"],
     "short_results": 2, "length_excludes_nul": true, "storages": [
      {"id": "s", "name": "Internal Storage", "access": 1, "faults": ["access"], "children": [
        {"id": "f", "name": "202401__", "type": "folder"},
        {"id": "a", "name": "Holiday", "file_name": "IMG_1.JPG", "size": 0, "can_delete": false,
         "refuse_code": -2147024891},
        {"id": "b", "file_name": null, "type": null, "can_delete": true,
         "faults": ["copy_id", "refuse", "size", "can_delete"]},
        {"id": "g", "name": "odd", "type": "video", "children": [{"id": "c", "name": "C"}]},
        {"id": "h", "name": "IMG_1.AAE", "type": "other", "size": 18446744073709551615}
      ]}]}]})";
  Phone phone;
  std::string problem;
  ASSERT_TRUE(ReadPhoneJson(text, &phone, &problem)) << problem;
  const std::string written = WritePhoneJson(phone);
  Phone again;
  ASSERT_TRUE(ReadPhoneJson(written, &again, &problem)) << problem;
  EXPECT_EQ(WritePhoneJson(again), written);
  const SimDevice& device = again.devices[0];
  EXPECT_TRUE(again.faults.refresh);
  EXPECT_EQ(device.faults.short_results, 2u);
  EXPECT_TRUE(device.faults.length_excludes_nul && device.faults.no_results && device.faults.close);
  EXPECT_EQ(device.Find(u"s")->access, 1u);
  EXPECT_TRUE(device.Find(u"s")->faults.access);
  EXPECT_EQ(device.Find(u"f")->access, std::nullopt);
  EXPECT_EQ(device.Find(u"f")->can_delete, std::nullopt);
  EXPECT_EQ(device.Find(u"a")->can_delete, false);
  EXPECT_EQ(device.Find(u"b")->can_delete, true);
  EXPECT_TRUE(device.Find(u"b")->faults.can_delete);
  EXPECT_EQ(device.Find(u"f")->type, ContentType::kFolder);
  EXPECT_EQ(device.Find(u"a")->ReadName(), u"IMG_1.JPG");
  EXPECT_EQ(device.Find(u"a")->refuse_code, static_cast<std::int32_t>(0x80070005));
  EXPECT_EQ(device.Find(u"a")->size, 0u);
  EXPECT_EQ(device.Find(u"b")->ReadName(), u"");
  EXPECT_EQ(device.Find(u"b")->type, ContentType::kNone);
  EXPECT_EQ(device.Find(u"b")->size, std::nullopt);
  EXPECT_TRUE(device.Find(u"b")->faults.copy_id && device.Find(u"b")->faults.size);
  EXPECT_EQ(device.Find(u"g")->type, ContentType::kVideo);
  EXPECT_EQ(device.Find(u"h")->type, ContentType::kOther);
  EXPECT_EQ(device.Find(u"h")->size, 18446744073709551615u);
}

// A phone whose objects lie `depth` levels below the device, one inside the other.
std::string NestedPhone(int depth) {
  std::string text = R"({"devices": [{"id": "d", "storages": [)";
  for (int level = 1; level < depth; ++level) {
    text += R"({"id": "f)" + std::to_string(level) + R"(", "children": [)";
  }
  text += R"({"id": "o", "faults": ["refuse"]})";
  for (int level = 1; level < depth; ++level) text += "]}";
  return text + "]}]}";
}

TEST(PhoneJsonTest, ReadsObjectsUpToTheNestingLimit) {
  Phone phone;
  std::string problem;
  ASSERT_TRUE(ReadPhoneJson(NestedPhone(62), &phone, &problem)) << problem;
  EXPECT_EQ(phone.devices[0].Depth(u"o"), 62);
}

TEST(PhoneJsonTest, NamesWhereTheProblemLies) {
  struct Case {
    std::string text;
    const char* problem;
  };
  const std::string too_deep = "lists and objects nest deeper than 128 levels";
  const Case cases[] = {
      {"{\"devices\": [}", "parse error at line 1, column 14"},
      {"[]", "must be an object"},
      {"{}", "\"devices\" must be a list"},
      {R"({"devices": [], "extra": 1})", "unknown key \"extra\""},
      {R"({"faults": ["explode"], "devices": []})", "unknown fault \"explode\""},
      {R"({"devices": [{"name": "x"}]})", "devices[0]: unknown key \"name\""},
      {R"({"devices": [{"friendly_name": "x"}]})", "devices[0]: \"id\" must be a string"},
      {R"({"devices": [{"id": "d"}, {"id": "d"}]})", "devices[1]: the device id is used twice"},
      {R"({"devices": [{"id": "d", "short_results": -1}]})",
       "devices[0]: \"short_results\" must be a count"},
      {R"({"devices": [{"id": "d", "storages": [{"id": "s", "children": [{"id": ""}]}]}]})",
       "devices[0].storages[0].children[0]: \"id\" must not be empty"},
      {R"({"devices": [{"id": "d", "storages": [{"id": "s", "children": [{"id": "s"}]}]}]})",
       "devices[0].storages[0].children[0]: id \"s\" is used twice on this device"},
      {R"({"devices": [{"id": "d", "storages": [{"id": "DEVICE"}]}]})",
       "devices[0].storages[0]: id \"DEVICE\" is used twice on this device"},
      {R"({"devices": [{"id": "d", "storages": [{"id": "s", "type": "disk"}]}]})",
       "devices[0].storages[0]: unknown type \"disk\""},
      {R"({"devices": [{"id": "d", "storages": [{"id": "s", "name": 7}]}]})",
       "devices[0].storages[0]: \"name\" must be a string or null"},
      {R"({"devices": [{"id": "d", "storages": [{"id": "s", "refuse_code": 4294967296}]}]})",
       "devices[0].storages[0]: \"refuse_code\" must be a negative 32-bit error code"},
      {R"({"devices": [{"id": "d", "storages": [{"id": "s", "refuse_code": 0}]}]})",
       "devices[0].storages[0]: \"refuse_code\" must be a negative 32-bit error code"},
      {R"({"devices": [{"id": "d", "storages": {}}]})", "devices[0]: \"storages\" must be a list"},
      {R"({"devices": [{"id": "d", "storages": [{"id": "s", "size": -1}]}]})",
       "devices[0].storages[0]: \"size\" must be a byte count from 0 to 18446744073709551615"},
      {R"({"devices": [{"id": "d", "storages": [{"id": "s", "size": 18446744073709551616}]}]})",
       "devices[0].storages[0]: \"size\" must be a byte count"},
      {R"({"devices": [{"id": "d", "storages": [{"id": "s", "size": 1.5}]}]})",
       "devices[0].storages[0]: \"size\" must be a byte count"},
      {R"({"devices": [{"id": "d", "storages": [{"id": "s", "size": null}]}]})",
       "devices[0].storages[0]: \"size\" must be a byte count"},
      {R"({"devices": [{"id": "d", "storages": [{"id": "s", "access": 3}]}]})",
       "devices[0].storages[0]: \"access\" must be 0, 1 or 2"},
      {R"({"devices": [{"id": "d", "storages": [{"id": "s", "access": -1}]}]})",
       "devices[0].storages[0]: \"access\" must be 0, 1 or 2"},
      {R"({"devices": [{"id": "d", "storages": [{"id": "s", "access": "1"}]}]})",
       "devices[0].storages[0]: \"access\" must be 0, 1 or 2"},
      {R"({"devices": [{"id": "d", "storages": [{"id": "s", "access": null}]}]})",
       "devices[0].storages[0]: \"access\" must be 0, 1 or 2"},
      {R"({"devices": [{"id": "d", "storages": [{"id": "s", "can_delete": 1}]}]})",
       "devices[0].storages[0]: \"can_delete\" must be true or false"},
      {R"({"devices": [{"id": "d", "storages": [{"id": "s", "can_delete": null}]}]})",
       "devices[0].storages[0]: \"can_delete\" must be true or false"},
      // One level past what the reader takes, and a file deep enough to have overflowed
      // the stack of the reader, which recurses once per level of objects.
      {NestedPhone(63), too_deep.c_str()},
      {NestedPhone(20000), too_deep.c_str()},
      // Unclosed too, but the nesting comes first in the text.
      {R"({"devices": [{"id": "d", "faults": [)" + std::string(20000, '[') + "]}]}",
       too_deep.c_str()},
  };
  for (const Case& test : cases) {
    Phone phone;
    std::string problem;
    const std::string shown = test.text.substr(0, 120);
    EXPECT_FALSE(ReadPhoneJson(test.text, &phone, &problem)) << shown;
    EXPECT_EQ(problem.rfind(test.problem, 0), 0u) << shown << "\n  gave: " << problem;
    EXPECT_EQ(problem.find('\n'), std::string::npos) << problem;
  }
}

}  // namespace
}  // namespace camvey::phone
