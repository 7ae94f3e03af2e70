// The service's WPD layer against the simulated WPD server, through camvey-ptp-sim's
// own entry point: the same pass, output and phone as over the simulated layer, the
// exact inputs the server sees, and nothing left alive or unfreed. Needs the server
// registered in the Wine prefix (the wpd_sim CTest fixture).

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "ptp/device/wpd_device_layer_win.h"
#include "standins/phone/phone_json.h"
#include "standins/wpd_server/wpd_sim_control.h"
#include "tests/tools/sim_run.h"
#include "tools/phone_scan.h"
#include "tools/ptp_sim.h"

namespace camvey::phone {
namespace {

using nlohmann::json;
using ::testing::IsEmpty;
using tools::Example;
using tools::RunSim;
using tools::ScanApplePhones;
using tools::SimRun;

// What the tool wrote to standard error, the milliseconds of the listing trace blanked.
std::string Stderr(const SimRun& run) {
  std::string text;
  for (const std::string& line : run.err) text += line;
  return std::regex_replace(text, std::regex("listed in [0-9]+ ms"), "listed in _ ms");
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class WpdEndToEndTest : public ::testing::Test {
 protected:
  // The test's own apartment keeps the server loaded between the runs' apartments.
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  }
  void TearDown() override { CoUninitialize(); }

  // Points the server at `phone_path` and forgets its records.
  void Serve(const std::string& phone_path) {
    SetEnvironmentVariableA("CAMVEY_SIM_PHONE", phone_path.c_str());
    SetEnvironmentVariableA("CAMVEY_SIM_PHONE_OUT", nullptr);
    if (!wpd::WpdSimControl::Find().found()) {
      std::unique_ptr<ptp::KeyCollection> loader;
      ASSERT_EQ(ptp::MakeWpdDeviceLayer()->CreateKeyCollection(&loader), S_OK);
    }
    control_ = wpd::WpdSimControl::Find();
    ASSERT_TRUE(control_.found());
    ASSERT_EQ(control_.reload(), 0);
  }

  wpd::WpdSimControl control_;
};

TEST_F(WpdEndToEndTest, ThroughWpdTheExampleRequestMatchesTheSimulatedRun) {
  Serve(Example("phone.json"));
  const SimRun simulated = RunSim(
      {Example("phone.json"), Example("request.json"), "--write-phone", "e2e_simulated.json"});
  const SimRun through_wpd = RunSim({Example("phone.json"), Example("request.json"),
                                     "--write-phone", "e2e_wpd.json", "--through-wpd"});

  EXPECT_EQ(through_wpd.exit_code, 0);
  EXPECT_EQ(through_wpd.out, simulated.out);
  EXPECT_EQ(Stderr(through_wpd), Stderr(simulated));
  EXPECT_EQ(ReadText("e2e_wpd.json"), ReadText("e2e_simulated.json"));
  EXPECT_NE(simulated.out.find("deleted: IMG_0802.JPG"), std::string::npos);

  // What the server saw, as the device operations prescribe it.
  const json records = json::parse(control_.Records());
  const std::string iphone =
      "\\\\?\\usb#vid_05ac&pid_12a8&mi_00#6&2f1a3b7c&0&0000#{6ac27878-a6fa-4155-ba85-f98f491d4f33}";
  ASSERT_EQ(records["opens"].size(), 1u);
  EXPECT_EQ(records["opens"][0]["device"], iphone);
  EXPECT_EQ(records["opens"][0]["client_information"], json::parse(R"([
      {"key": "WPD_CLIENT_NAME", "type": "VT_LPWSTR", "value": "Camvey"},
      {"key": "WPD_CLIENT_MAJOR_VERSION", "type": "VT_UI4", "value": 1},
      {"key": "WPD_CLIENT_MINOR_VERSION", "type": "VT_UI4", "value": 0},
      {"key": "WPD_CLIENT_REVISION", "type": "VT_UI4", "value": 0},
      {"key": "WPD_CLIENT_DESIRED_ACCESS", "type": "VT_UI4", "value": 3221225472}])"));
  EXPECT_EQ(records["key_sets"].size(), 1u);
  EXPECT_EQ(records["key_sets"][0]["keys"],
            json::parse(R"(["WPD_OBJECT_ORIGINAL_FILE_NAME", "WPD_OBJECT_NAME",
                            "WPD_OBJECT_CONTENT_TYPE", "WPD_OBJECT_SIZE",
                            "WPD_OBJECT_CAN_DELETE", "WPD_STORAGE_ACCESS_CAPABILITY"])"));
  // Ids come in batches: the storages up to their limit of 20, every other listing 256
  // at a time.
  EXPECT_EQ(records["next_counts"].size(), 2u);
  EXPECT_TRUE(records["next_counts"].contains("20"));
  EXPECT_TRUE(records["next_counts"].contains("256"));
  ASSERT_EQ(records["deletes"].size(), 1u);
  EXPECT_EQ(records["deletes"][0]["options"], 0);
  EXPECT_EQ(records["deletes"][0]["id_types"], json::parse(R"(["VT_LPWSTR", "VT_LPWSTR",
      "VT_LPWSTR", "VT_LPWSTR", "VT_LPWSTR"])"));
  EXPECT_EQ(records["delete_calls"][iphone], 1);
  EXPECT_EQ(records["released_devices"], json::array({json{{"device", iphone}, {"open", false}}}));
  EXPECT_EQ(control_.live_objects(), 0);
  EXPECT_EQ(control_.unfreed_strings(), 0);
  std::remove("e2e_simulated.json");
  std::remove("e2e_wpd.json");
}

// A pass that never reaches the server (nothing usable is asked for) still leaves the
// phone file, unchanged, so that a caller can tell "unchanged" from "lost".
TEST_F(WpdEndToEndTest, APassThatReachesNoDeviceStillWritesThePhone) {
  Serve(Example("phone.json"));
  std::ofstream("e2e_nothing.json", std::ios::binary) << R"({"files": []})";
  const SimRun simulated =
      RunSim({Example("phone.json"), "e2e_nothing.json", "--write-phone", "e2e_simulated.json"});
  std::remove("e2e_wpd.json");
  const SimRun through_wpd = RunSim({Example("phone.json"), "e2e_nothing.json", "--write-phone",
                                     "e2e_wpd.json", "--through-wpd"});
  EXPECT_EQ(through_wpd.exit_code, 0);
  EXPECT_EQ(through_wpd.out, "error: not_found\n");
  EXPECT_EQ(ReadText("e2e_wpd.json"), ReadText("e2e_simulated.json"));
  EXPECT_FALSE(ReadText("e2e_wpd.json").empty());
  std::remove("e2e_nothing.json");
  std::remove("e2e_simulated.json");
  std::remove("e2e_wpd.json");
}

// Also from a driver that hands over each listing's last child with "no more objects":
// a replayed phone must not lose those children.
TEST_F(WpdEndToEndTest, AScanOfTheExamplePhoneReadsBackAsItsAppleDevice) {
  Phone model;
  std::string problem;
  ASSERT_TRUE(ReadPhoneJson(ReadText(Example("phone.json")), &model, &problem)) << problem;
  for (const bool false_with_last_id : {false, true}) {
    SCOPED_TRACE(false_with_last_id ? "last id with S_FALSE" : "S_FALSE after the last id");
    Phone served = model;
    served.devices[0].faults.false_with_last_id = false_with_last_id;
    std::ofstream("e2e_served.json", std::ios::binary) << WritePhoneJson(served);
    Serve("e2e_served.json");
    Phone scanned;
    std::vector<std::string> problems;
    {
      const std::unique_ptr<ptp::DeviceLayer> layer = ptp::MakeWpdDeviceLayer();
      ASSERT_TRUE(ScanApplePhones(*layer, &scanned,
                                  [&](const std::string& line) { problems.push_back(line); }));
    }
    EXPECT_THAT(problems, IsEmpty());

    Phone expected = model;
    expected.devices.pop_back();  // the camera is no Apple device
    expected.devices[0].Find(u"o3003")->faults = ObjectFaults();
    Phone read_back;
    ASSERT_TRUE(ReadPhoneJson(WritePhoneJson(scanned), &read_back, &problem)) << problem;
    EXPECT_EQ(WritePhoneJson(read_back), WritePhoneJson(expected));

    const json records = json::parse(control_.Records());
    EXPECT_FALSE(records["calls"].contains("IPortableDeviceContent::Delete"));
    EXPECT_EQ(records["opens"][0]["client_information"][4]["value"], 0x80000000u);
    EXPECT_EQ(control_.live_objects(), 0);
    EXPECT_EQ(control_.unfreed_strings(), 0);
  }
  std::remove("e2e_served.json");
}

}  // namespace
}  // namespace camvey::phone
