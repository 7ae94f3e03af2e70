#include "standins/phone/ptp_sim.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "standins/phone/phone_json.h"
#include "tests/standins/phone/sim_run.h"

namespace camvey::phone {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::StartsWith;

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST(PtpSimTest, RunsTheExampleRequestOnTheExamplePhone) {
  const std::string written = "ptp_sim_test_after.json";
  std::remove(written.c_str());
  const SimRun run =
      RunSim({Example("phone.json"), Example("request.json"), "--write-phone", written});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out,
            "deleted: IMG_1001.HEIC\n"
            "deleted: IMG_1002.MOV\n"
            "deleted: IMG_0990.HEIC\n"
            "deleted: IMG_0802.JPG\n"
            "error: delete_refused\n");
  EXPECT_THAT(
      run.err,
      ElementsAre(AllOf(StartsWith(R"(delete: "Internal Storage" holds 5 folder(s), listed in )"),
                        EndsWith(" ms\n")),
                  "delete: looking in 202401__\n", "delete: looking in 202312__\n",
                  "delete: IMG_0700.JPG is on the phone 2 times, left alone\n",
                  "delete: IMG_1003.JPG refused with 0x80070005\n"));

  std::ifstream in(written, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  Phone after;
  std::string problem;
  ASSERT_TRUE(ReadPhoneJson(text.str(), &after, &problem)) << problem;
  const SimDevice& iphone = after.devices[0];
  for (const char16_t* gone : {u"o2001", u"o3001", u"o3002", u"o1102"}) {
    EXPECT_EQ(iphone.Find(gone), nullptr);
  }
  for (const char16_t* kept : {u"o1001", u"o1101", u"o3003", u"o9000", u"o2002", u"o2003"}) {
    EXPECT_NE(iphone.Find(kept), nullptr);
  }
  EXPECT_NE(after.devices[1].Find(u"c101"), nullptr);
  std::remove(written.c_str());
}

TEST(PtpSimTest, ReportsItsOwnInputProblemsOnOneLine) {
  WriteFile("ptp_sim_test_bad.json", "{\"files\": [");
  WriteFile("ptp_sim_test_shape.json", R"({"files": [{"name": "a.jpg"}, {"name": 7}]})");
  WriteFile("ptp_sim_test_phone.json", R"({"devices": [{"id": 1}]})");
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
  };
  for (const Case& test : cases) {
    const SimRun run = RunSim(test.arguments);
    EXPECT_EQ(run.exit_code, 2) << test.line;
    EXPECT_EQ(run.out, "") << test.line;
    EXPECT_THAT(run.err, ElementsAre(test.line));
  }
  for (const char* file :
       {"ptp_sim_test_bad.json", "ptp_sim_test_shape.json", "ptp_sim_test_phone.json"}) {
    std::remove(file);
  }
}

TEST(PtpSimTest, PassFailuresAreOutcomesNotInputErrors) {
  WriteFile("ptp_sim_test_nothing.json", R"({"files": []})");
  const SimRun run = RunSim({Example("phone.json"), "ptp_sim_test_nothing.json"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, "error: not_found\n");
  EXPECT_TRUE(run.err.empty());
  std::remove("ptp_sim_test_nothing.json");
}

}  // namespace
}  // namespace camvey::phone
