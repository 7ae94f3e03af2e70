#include "engine/flutter_view_controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "engine/engine_project.h"
#include "standins/engine/engine_standin.h"
#include "tests/messaging/stderr_capture.h"
#include "tests/standins/engine/standin_fixture.h"

namespace flutter {
namespace {

using ::testing::ElementsAre;
using ::testing::SizeIs;

class FlutterViewControllerTest : public EngineStandinTest {};

TEST_F(FlutterViewControllerTest, CreatesTheViewOverAnEngineItTookOver) {
  FlutterViewController controller(1280, 820, EngineProject(u"data"));

  ASSERT_NE(controller.Engine(), nullptr);
  ASSERT_NE(controller.View(), nullptr);
  std::vector<FlutterDesktopViewControllerRef> handles = engine_standin::ViewControllers();
  ASSERT_THAT(handles, SizeIs(1));
  const engine_standin::ViewControllerRecord record = engine_standin::ViewController(handles[0]);
  EXPECT_EQ(record.width, 1280);
  EXPECT_EQ(record.height, 820);
  EXPECT_EQ(record.engine, engine_standin::Engines().at(0));
  EXPECT_TRUE(engine_standin::Engine(record.engine).handed_over);
  EXPECT_EQ(controller.View()->WindowHandle(),
            FlutterDesktopViewGetHWND(FlutterDesktopViewControllerGetView(handles[0])));
}

TEST_F(FlutterViewControllerTest, FailedCreationPrintsALineAndLeavesNoView) {
  engine_standin::SetViewControllerCreationFails(true);
  StderrCapture stderr_capture;
  FlutterDesktopEngineRef engine = nullptr;
  {
    FlutterViewController controller(100, 100, EngineProject(u"data"));

    EXPECT_EQ(controller.View(), nullptr);
    EXPECT_NE(controller.Engine(), nullptr);
    engine = engine_standin::Engines().at(0);
  }
  EXPECT_THAT(stderr_capture.Flushes(), ElementsAre("Failed to create view controller.\n"));
  EXPECT_TRUE(engine_standin::ViewControllers().empty());
  EXPECT_EQ(engine_standin::Engine(engine).destroy_calls, 0) << "the engine was handed over";
}

TEST_F(FlutterViewControllerTest, FailedEngineStartFailsTheViewController) {
  engine_standin::SetEngineCreationFails(true);
  StderrCapture stderr_capture;

  FlutterViewController controller(100, 100, EngineProject(u"data"));

  EXPECT_EQ(controller.View(), nullptr);
  EXPECT_THAT(stderr_capture.Flushes(), ElementsAre("Failed to create view controller.\n"));
}

// Neither a controller that could not be made nor its engine, which never started or
// which the library ended with the failed controller, is called again: the fixture
// fails the test on any such call.
TEST_F(FlutterViewControllerTest, AFailedControllerAndItsEngineAreNotCalledAgain) {
  for (const bool engine_fails : {true, false}) {
    SCOPED_TRACE(engine_fails ? "engine did not start" : "view controller was refused");
    engine_standin::Reset();
    engine_standin::SetEngineCreationFails(engine_fails);
    engine_standin::SetViewControllerCreationFails(true);
    StderrCapture stderr_capture;
    FlutterViewController controller(100, 100, EngineProject(u"data"));
    bool replied = false;
    bool frame = false;

    controller.ForceRedraw();
    EXPECT_EQ(controller.HandleTopLevelWindowProc(nullptr, 0x0005, 0, 0), std::nullopt);
    FlutterEngine& engine = *controller.Engine();
    engine.ReloadSystemFonts();
    engine.SetNextFrameCallback([&] { frame = true; });
    EXPECT_EQ(engine.RegistrarForPlugin("WindowManagerPlugin"), nullptr);
    engine.Messenger()->SetMessageHandler("chan",
                                          [](const uint8_t*, size_t, const BinaryReply&) {});
    engine.Messenger()->Send("chan", nullptr, 0, [&](const uint8_t*, size_t) { replied = true; });
    engine.Messenger()->Send("chan", nullptr, 0, nullptr);

    EXPECT_FALSE(replied);
    EXPECT_FALSE(frame);
    EXPECT_THAT(stderr_capture.Flushes(),
                ElementsAre("Failed to create view controller.\n",
                            "Cannot get plugin registrar on an engine that isn't running; call "
                            "Run first.\n"));
    EXPECT_THAT(engine_standin::Failures(), ::testing::IsEmpty());
  }
}

TEST_F(FlutterViewControllerTest, TeardownEndsTheControllerBeforeTheEngineWrapper) {
  // The engine wrapper's next-frame callback dies with the engine wrapper; by then the
  // view controller handle must already be destroyed, and the engine never destroyed
  // by the wrapper.
  struct OrderProbe {
    FlutterDesktopViewControllerRef handle;
    bool* controller_destroyed_first;
    ~OrderProbe() {
      *controller_destroyed_first = engine_standin::ViewController(handle).destroyed;
    }
  };
  bool controller_destroyed_first = false;
  FlutterDesktopEngineRef engine = nullptr;
  {
    FlutterViewController controller(10, 10, EngineProject(u"data"));
    engine = engine_standin::Engines().at(0);
    auto probe = std::make_shared<OrderProbe>(
        OrderProbe{engine_standin::ViewControllers().at(0), &controller_destroyed_first});
    controller.Engine()->SetNextFrameCallback([probe] {});
  }
  EXPECT_TRUE(controller_destroyed_first);
  EXPECT_EQ(engine_standin::Engine(engine).destroy_calls, 0);
  EXPECT_FALSE(engine_standin::Engine(engine).running);
}

TEST_F(FlutterViewControllerTest, TopLevelWindowMessagesAnsweredOnlyWhenTheEngineHandledThem) {
  FlutterViewController controller(10, 10, EngineProject(u"data"));
  constexpr UINT kHandled = 0x0024;
  constexpr UINT kIgnored = 0x0005;
  engine_standin::SetWindowMessageHandled(kHandled, 77);
  HWND window = controller.View()->WindowHandle();

  EXPECT_EQ(controller.HandleTopLevelWindowProc(window, kHandled, 1, 2),
            std::optional<LRESULT>(77));
  EXPECT_EQ(controller.HandleTopLevelWindowProc(window, kIgnored, 3, 4), std::nullopt);

  const engine_standin::ViewControllerRecord record =
      engine_standin::ViewController(engine_standin::ViewControllers().at(0));
  ASSERT_THAT(record.window_messages, SizeIs(2));
  EXPECT_EQ(record.window_messages[1].hwnd, window);
  EXPECT_EQ(record.window_messages[1].message, kIgnored);
  EXPECT_EQ(record.window_messages[1].wparam, WPARAM{3});
  EXPECT_EQ(record.window_messages[1].lparam, LPARAM{4});
}

}  // namespace
}  // namespace flutter
