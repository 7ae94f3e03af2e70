#include "engine/flutter_engine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/engine_project.h"
#include "standins/engine/engine_standin.h"
#include "tests/messaging/stderr_capture.h"
#include "tests/standins/engine/standin_fixture.h"

namespace flutter {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::SizeIs;

constexpr char kNotRunning[] =
    "Cannot get plugin registrar on an engine that isn't running; call Run first.\n";

class FlutterEngineTest : public EngineStandinTest {
 protected:
  // The stand-in's handle of the one engine created so far.
  static FlutterDesktopEngineRef OnlyEngine() {
    std::vector<FlutterDesktopEngineRef> engines = engine_standin::Engines();
    EXPECT_THAT(engines, SizeIs(1));
    return engines.empty() ? nullptr : engines[0];
  }
};

TEST_F(FlutterEngineTest, HandsTheProjectToTheEngineLibrary) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string entrypoint;
  };
  const Case cases[] = {
      {"no arguments, default entrypoint", {}, ""},
      {"three arguments", {"--first", "zwei", "drei 3"}, ""},
      {"named entrypoint", {"x"}, "secondMain"},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    engine_standin::Reset();
    EngineProject project(u"data");
    project.set_entrypoint_arguments(test_case.arguments);
    project.set_entrypoint(test_case.entrypoint);

    FlutterEngine engine(project);

    const engine_standin::RecordedProperties properties =
        engine_standin::Engine(OnlyEngine()).properties;
    EXPECT_EQ(properties.assets_path, u"data\\flutter_assets");
    EXPECT_EQ(properties.icu_data_path, u"data\\icudtl.dat");
    EXPECT_EQ(properties.aot_library_path, u"data\\app.so");
    EXPECT_FALSE(properties.entrypoint_is_null);
    EXPECT_EQ(properties.entrypoint, test_case.entrypoint);
    EXPECT_EQ(properties.argument_count, static_cast<int32_t>(test_case.arguments.size()));
    EXPECT_EQ(properties.argument_array_is_null, test_case.arguments.empty());
    EXPECT_THAT(properties.arguments, ElementsAreArray(test_case.arguments));
    EXPECT_THAT(properties.options, ElementsAre(0, 0, 0, 0));
    EXPECT_EQ(properties.option_flag, 0);
  }
}

TEST_F(FlutterEngineTest, DestroysItsEngineOnceUnlessHandedOver) {
  { FlutterEngine engine(EngineProject(u"data")); }
  EXPECT_EQ(engine_standin::Engine(OnlyEngine()).destroy_calls, 1);
  EXPECT_FALSE(engine_standin::Engine(OnlyEngine()).running);

  engine_standin::Reset();
  FlutterDesktopEngineRef handed_over = nullptr;
  {
    FlutterEngine engine(EngineProject(u"data"));
    handed_over = engine.HandOverEngine();
  }
  EXPECT_EQ(handed_over, OnlyEngine());
  EXPECT_EQ(engine_standin::Engine(handed_over).destroy_calls, 0);
  EXPECT_TRUE(engine_standin::Engine(handed_over).running);
}

TEST_F(FlutterEngineTest, RegistrarForPluginAsksTheEngine) {
  FlutterEngine engine(EngineProject(u"data"));

  FlutterDesktopPluginRegistrarRef registrar = engine.RegistrarForPlugin("UrlLauncherWindows");

  ASSERT_NE(registrar, nullptr);
  EXPECT_EQ(engine_standin::RegistrarName(registrar), "UrlLauncherWindows");
  EXPECT_THAT(engine_standin::Engine(OnlyEngine()).registrar_requests,
              ElementsAre("UrlLauncherWindows"));
}

TEST_F(FlutterEngineTest, RegistrarOfAnEngineThatDidNotStartIsNullWithALine) {
  engine_standin::SetEngineCreationFails(true);
  FlutterEngine engine(EngineProject(u"data"));
  StderrCapture stderr_capture;

  EXPECT_EQ(engine.RegistrarForPlugin("WindowManagerPlugin"), nullptr);

  EXPECT_THAT(stderr_capture.Flushes(), ElementsAre(kNotRunning));
}

TEST_F(FlutterEngineTest, OnlyTheLastNextFrameCallbackRunsAndOnlyOnce) {
  FlutterEngine engine(EngineProject(u"data"));
  int first_calls = 0;
  int second_calls = 0;
  engine.SetNextFrameCallback([&] { ++first_calls; });
  engine.SetNextFrameCallback([&] { ++second_calls; });

  EXPECT_TRUE(engine_standin::FireNextFrame(OnlyEngine()));
  EXPECT_FALSE(engine_standin::FireNextFrame(OnlyEngine()));

  EXPECT_EQ(first_calls, 0);
  EXPECT_EQ(second_calls, 1);
}

TEST_F(FlutterEngineTest, NextFrameCallbackMayAskForTheFollowingFrame) {
  FlutterEngine engine(EngineProject(u"data"));
  int frames = 0;
  std::function<void()> count_frame;
  count_frame = [&] {
    if (++frames < 3) {
      engine.SetNextFrameCallback(count_frame);
    }
  };
  engine.SetNextFrameCallback(count_frame);

  while (engine_standin::FireNextFrame(OnlyEngine())) {
  }

  EXPECT_EQ(frames, 3);
}

TEST_F(FlutterEngineTest, AThrowingNextFrameCallbackStopsAtTheEngineCallback) {
  FlutterEngine engine(EngineProject(u"data"));
  engine.SetNextFrameCallback([] { throw std::runtime_error("frame failed"); });
  StderrCapture stderr_capture;

  EXPECT_TRUE(engine_standin::FireNextFrame(OnlyEngine()));

  EXPECT_THAT(stderr_capture.Flushes(), ElementsAre("Exception in the next-frame callback.\n"));
}

TEST_F(FlutterEngineTest, MessengerSpeaksForTheEnginesMessenger) {
  FlutterEngine engine(EngineProject(u"data"));
  int calls = 0;
  engine.Messenger()->SetMessageHandler("chan",
                                        [&](const uint8_t*, size_t, const BinaryReply& reply) {
                                          ++calls;
                                          reply(nullptr, 0);
                                        });

  engine_standin::InjectMessage(FlutterDesktopEngineGetMessenger(OnlyEngine()), "chan", {1});

  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace flutter
