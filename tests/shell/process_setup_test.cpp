#include "shell/process_setup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "standins/engine/engine_standin.h"
#include "tests/standins/engine/standin_fixture.h"

namespace camvey {
namespace {

using ::testing::ElementsAre;

// What the console calls were asked to do, in order.
struct ConsoleScenario {
  bool attach_succeeds = false;
  bool debugger = false;
  bool alloc_succeeds = true;
  bool reopen_succeeds = true;
  std::vector<std::string> calls;
};
ConsoleScenario* g_scenario = nullptr;

ConsoleScenario Scenario(bool attach_succeeds, bool debugger, bool alloc_succeeds = true,
                         bool reopen_succeeds = true) {
  ConsoleScenario scenario;
  scenario.attach_succeeds = attach_succeeds;
  scenario.debugger = debugger;
  scenario.alloc_succeeds = alloc_succeeds;
  scenario.reopen_succeeds = reopen_succeeds;
  return scenario;
}

ConsoleCalls FakeConsoleCalls() {
  ConsoleCalls calls;
  calls.attach_console = [](DWORD process) -> BOOL {
    g_scenario->calls.push_back(process == ATTACH_PARENT_PROCESS ? "attach parent" : "attach");
    return g_scenario->attach_succeeds;
  };
  calls.is_debugger_present = []() -> BOOL { return g_scenario->debugger; };
  calls.alloc_console = []() -> BOOL {
    g_scenario->calls.push_back("alloc");
    return g_scenario->alloc_succeeds;
  };
  calls.reopen_on_console = [](FILE* stream) {
    g_scenario->calls.push_back(stream == stdout ? "reopen out" : "reopen err");
    return g_scenario->reopen_succeeds ? 0 : 1;
  };
  calls.duplicate_descriptor = [](int source, int target) {
    g_scenario->calls.push_back("dup " + std::to_string(source) + " " + std::to_string(target));
    return 0;
  };
  calls.resync_engine_streams = []() { g_scenario->calls.push_back("resync"); };
  return calls;
}

class ProcessSetupTest : public EngineStandinTest {
 protected:
  ~ProcessSetupTest() override { g_scenario = nullptr; }

  // Runs start-up up to a window that cannot be made; the console calls it made.
  static std::vector<std::string> ConsoleCallsOfAFailedStart(ConsoleScenario scenario) {
    engine_standin::SetViewControllerCreationFails(true);
    g_scenario = &scenario;
    EXPECT_EQ(RunCamvey(FakeConsoleCalls()), 1);
    return scenario.calls;
  }
};

TEST_F(ProcessSetupTest, AConsoleIsOpenedOnlyWithoutAParentConsoleAndUnderADebugger) {
  EXPECT_THAT(ConsoleCallsOfAFailedStart(Scenario(true, true)), ElementsAre("attach parent"));
  EXPECT_THAT(ConsoleCallsOfAFailedStart(Scenario(false, false)), ElementsAre("attach parent"));
  EXPECT_THAT(ConsoleCallsOfAFailedStart(Scenario(false, true)),
              ElementsAre("attach parent", "alloc", "reopen out", "reopen err", "resync"));
  ConsoleScenario no_console = Scenario(false, true, false);
  EXPECT_THAT(ConsoleCallsOfAFailedStart(no_console), ElementsAre("attach parent", "alloc"));
}

TEST_F(ProcessSetupTest, StreamsThatCannotBeReopenedShareStandardOutputsDescriptor) {
  ConsoleScenario scenario = Scenario(false, true, true, false);
  const std::string out = std::to_string(_fileno(stdout));
  EXPECT_THAT(ConsoleCallsOfAFailedStart(scenario),
              ElementsAre("attach parent", "alloc", "reopen out", "dup " + out + " 1", "reopen err",
                          "dup " + out + " 2", "resync"));
}

TEST_F(ProcessSetupTest, ConvertsValidUtf16AndGivesEmptyTextForTheRest) {
  EXPECT_EQ(ToUtf8(nullptr), "");
  EXPECT_EQ(ToUtf8(L""), "");
  EXPECT_EQ(ToUtf8(L"b c \x00e9\xd83d\xde00"), "b c \xc3\xa9\xf0\x9f\x98\x80");
  EXPECT_EQ(ToUtf8(L"a\xd800z"), "");
}

// Closes the host window once it shows, as a person would.
void CALLBACK CloseWhenShown(HWND, UINT, UINT_PTR, DWORD) {
  HWND window = FindWindowW(L"FLUTTER_RUNNER_WIN32_WINDOW", L"Camvey");
  if (window != nullptr && IsWindowVisible(window)) {
    PostMessageW(window, WM_CLOSE, 0, 0);
  }
}

TEST_F(ProcessSetupTest, RunsTheWindowWithTheCommandLineUntilItIsClosed) {
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, &CloseWhenShown);
  ConsoleScenario scenario = Scenario(true, false);
  g_scenario = &scenario;
  EXPECT_EQ(RunCamvey(FakeConsoleCalls()), 0);
  KillTimer(nullptr, timer);

  const auto engines = engine_standin::Engines();
  ASSERT_EQ(engines.size(), 1u);
  const engine_standin::RecordedProperties start = engine_standin::Engine(engines[0]).properties;
  EXPECT_EQ(start.assets_path, u"data\\flutter_assets");
  EXPECT_EQ(start.arguments, CommandLineArguments());
  EXPECT_FALSE(engine_standin::Engine(engines[0]).running);
}

}  // namespace
}  // namespace camvey
