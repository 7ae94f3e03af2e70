#include "tools/ptp_sim.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "standins/phone/phone_json.h"
#include "tests/tools/sim_run.h"

namespace camvey::tools {
namespace {

using phone::Phone;
using phone::ReadPhoneJson;
using phone::SimDevice;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::StartsWith;
using ::testing::UnorderedElementsAre;

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The ids of every object on the phone a run wrote back.
std::set<std::u16string> ObjectIds(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  Phone phone;
  std::string problem;
  EXPECT_TRUE(ReadPhoneJson(text.str(), &phone, &problem)) << path << ": " << problem;
  std::set<std::u16string> ids;
  for (const SimDevice& device : phone.devices) {
    for (const auto& [id, object] : device.objects) ids.insert(id);
  }
  return ids;
}

std::set<std::u16string> Gone(const std::set<std::u16string>& before,
                              const std::set<std::u16string>& after) {
  std::set<std::u16string> gone;
  std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                      std::inserter(gone, gone.end()));
  return gone;
}

// The same request on the example iPhone (camera roll in DCIM, as Windows shows a real
// one) and on the older example (month folders directly under the storage): the same
// four photos go, and nothing else.
TEST(PtpSimTest, RunsTheExampleRequestOnBothLayouts) {
  struct Case {
    const char* phone;
    std::vector<std::string> trace_after_listing;
    std::set<std::u16string> gone;
    bool live_photo_half_stays = false;
  };
  const Case cases[] = {
      {"phone.json",
       {"delete: DCIM holds 7 object(s)\n", "delete: looking in 202401__\n",
        "delete: looking in 202401_a\n",
        "delete: IMG_1002.MOV in 101APPLE is 3905117 bytes, the copy 5264388, passed over\n",
        "delete: looking in 202312__\n"},
       {u"o3001", u"o3002", u"o2001", u"o1101"},
       true},
      {"phone-months-under-storage.json",
       {"delete: looking in 202401__\n", "delete: looking in 202312__\n"},
       {u"o3001", u"o3002", u"o2001", u"o1102"}},
  };
  const std::string written = "ptp_sim_test_after.json";
  for (const Case& test : cases) {
    SCOPED_TRACE(test.phone);
    std::remove(written.c_str());
    const SimRun run =
        RunSim({Example(test.phone), Example("request.json"), "--write-phone", written});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out,
              "deleted: IMG_1001.HEIC\n"
              "deleted: IMG_1002.MOV\n"
              "deleted: IMG_0990.HEIC\n"
              "deleted: IMG_0802.JPG\n"
              "error: delete_refused\n");
    ASSERT_FALSE(run.err.empty());
    EXPECT_THAT(run.err.front(),
                AllOf(StartsWith(R"(delete: "Internal Storage" holds )"), EndsWith(" ms\n")));
    std::vector<std::string> trace(run.err.begin() + 1, run.err.end());
    std::vector<std::string> expected = test.trace_after_listing;
    expected.push_back("delete: IMG_0700.JPG is on the phone 2 times, left alone\n");
    expected.push_back("delete: IMG_1003.JPG refused with 0x80070005\n");
    // IMG_1001.MOV, the Live Photo half not asked for, keeps the photo on the phone.
    if (test.live_photo_half_stays) {
      expected.push_back(
          "delete: the phone keeps photo IMG_1001 in 202401__ until IMG_1001.MOV is deleted "
          "too\n");
    }
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(Gone(ObjectIds(Example(test.phone)), ObjectIds(written)), test.gone);
  }
  std::remove(written.c_str());
}

// Sent again, as after a reply the application never received, a request answers the
// photos deleted the first time and takes no namesake: the older IMG_1002.MOV of
// 101APPLE, now the only one of its name on the phone, stays.
TEST(PtpSimTest, ARepeatedRequestAnswersTheSameAndDeletesNothingMore) {
  const std::string once = "ptp_sim_test_once.json";
  const std::string twice = "ptp_sim_test_twice.json";
  RunSim({Example("phone.json"), Example("request.json"), "--write-phone", once});
  const SimRun run = RunSim({Example("phone.json"), Example("request.json"),
                             Example("request.json"), "--write-phone", twice});
  EXPECT_EQ(run.exit_code, 0);

  // Each request's output ends with its error line.
  std::vector<std::vector<std::string>> requests(1);
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    requests.back().push_back(line);
    if (line.rfind("error: ", 0) == 0) requests.emplace_back();
  }
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_TRUE(requests[2].empty());
  EXPECT_THAT(requests[0], ElementsAre("deleted: IMG_1001.HEIC", "deleted: IMG_1002.MOV",
                                       "deleted: IMG_0990.HEIC", "deleted: IMG_0802.JPG",
                                       "error: delete_refused"));
  ASSERT_FALSE(requests[1].empty());
  EXPECT_EQ(requests[1].back(), "error: delete_refused");
  requests[1].pop_back();
  EXPECT_THAT(requests[1], UnorderedElementsAre("deleted: IMG_1001.HEIC", "deleted: IMG_1002.MOV",
                                                "deleted: IMG_0990.HEIC", "deleted: IMG_0802.JPG"));
  EXPECT_EQ(ObjectIds(twice), ObjectIds(once));
  EXPECT_EQ(Gone(ObjectIds(Example("phone.json")), ObjectIds(twice)).size(), 4u);
  std::remove(once.c_str());
  std::remove(twice.c_str());
}

TEST(PtpSimTest, ReportsItsOwnInputProblemsOnOneLine) {
  WriteFile("ptp_sim_test_bad.json", "{\"files\": [");
  WriteFile("ptp_sim_test_shape.json", R"({"files": [{"name": "a.jpg"}, {"name": 7}]})");
  WriteFile("ptp_sim_test_phone.json", R"({"devices": [{"id": 1}]})");
  WriteFile("ptp_sim_test_size.json", R"({"files": [{"name": "a.jpg", "size": 1}, {"name":
      "b.jpg", "size": "2483120"}]})");
  WriteFile("ptp_sim_test_float.json", R"({"files": [{"name": "a.jpg", "size": 2.5}]})");
  WriteFile("ptp_sim_test_huge.json",
            R"({"files": [{"name": "a.jpg", "size": 9223372036854775808}]})");
  // Deep in a key the service ignores, where it overflowed the stack of the conversion
  // to channel values.
  WriteFile("ptp_sim_test_deep.json", R"({"files": [{"name": "a.jpg", "note": )" +
                                          std::string(20000, '[') + std::string(20000, ']') +
                                          "}]}");
  struct Case {
    std::vector<std::string> arguments;
    std::string line;
  };
  const std::string usage =
      "usage: camvey-ptp-sim PHONE.json REQUEST.json [REQUEST.json ...] [--write-phone OUT.json]\n"
      "                      [--through-wpd]\n"
      "       camvey-ptp-sim scan [OUT.json]\n";
  const Case cases[] = {
      {{}, usage},
      {{Example("phone.json")}, usage},
      {{"scan", "a.json", "b.json"}, usage},
      {{Example("phone.json"), Example("request.json"), "--write-phone"}, usage},
      {{"ptp_sim_test_missing.json", Example("request.json")},
       "ptp_sim_test_missing.json: cannot read the file\n"},
      {{"ptp_sim_test_phone.json", Example("request.json")},
       "ptp_sim_test_phone.json: devices[0]: \"id\" must be a string\n"},
      {{Example("phone.json"), "ptp_sim_test_bad.json"},
       "ptp_sim_test_bad.json: parse error at line 1, column 12: syntax error while parsing "
       "value - unexpected end of input; expected '[', '{', or a literal\n"},
      {{Example("phone.json"), "ptp_sim_test_shape.json"},
       "ptp_sim_test_shape.json: files[1]: \"name\" must be a string\n"},
      // No pass runs, not even the first request's.
      {{Example("phone.json"), Example("request.json"), "ptp_sim_test_shape.json"},
       "ptp_sim_test_shape.json: files[1]: \"name\" must be a string\n"},
      {{Example("phone.json"), Example("phone.json")},
       Example("phone.json") + ": \"files\" must be a list\n"},
      {{Example("phone.json"), "ptp_sim_test_size.json"},
       "ptp_sim_test_size.json: files[1]: \"size\" must be a 64-bit integer or null\n"},
      {{Example("phone.json"), "ptp_sim_test_float.json"},
       "ptp_sim_test_float.json: files[0]: \"size\" must be a 64-bit integer or null\n"},
      {{Example("phone.json"), "ptp_sim_test_huge.json"},
       "ptp_sim_test_huge.json: files[0]: \"size\" must be a 64-bit integer or null\n"},
      {{Example("phone.json"), "ptp_sim_test_deep.json"},
       "ptp_sim_test_deep.json: lists and objects nest deeper than 128 levels\n"},
  };
  for (const Case& test : cases) {
    const SimRun run = RunSim(test.arguments);
    EXPECT_EQ(run.exit_code, 2) << test.line;
    EXPECT_EQ(run.out, "") << test.line;
    EXPECT_THAT(run.err, ElementsAre(test.line));
  }
  for (const char* file :
       {"ptp_sim_test_bad.json", "ptp_sim_test_shape.json", "ptp_sim_test_phone.json",
        "ptp_sim_test_size.json", "ptp_sim_test_float.json", "ptp_sim_test_huge.json",
        "ptp_sim_test_deep.json"}) {
    std::remove(file);
  }
}

TEST(PtpSimTest, PassFailuresAreOutcomesNotInputErrors) {
  WriteFile("ptp_sim_test_nothing.json", R"({"files": []})");
  const SimRun run = RunSim({Example("phone.json"), "ptp_sim_test_nothing.json"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, "error: not_found\n");
  EXPECT_TRUE(run.err.empty());
  // Any integer is a size the pass judges itself, as it does one the application sends.
  WriteFile("ptp_sim_test_sizes.json", R"({"files": [{"name": "NONE_1.JPG", "size": null},
      {"name": "NONE_2.JPG", "size": -1}, {"name": "NONE_3.JPG", "size": 9223372036854775807}]})");
  const SimRun sizes = RunSim({Example("phone.json"), "ptp_sim_test_sizes.json"});
  EXPECT_EQ(sizes.exit_code, 0);
  EXPECT_EQ(sizes.out, "error: not_found\n");
  std::remove("ptp_sim_test_nothing.json");
  std::remove("ptp_sim_test_sizes.json");
}

}  // namespace
}  // namespace camvey::tools
