#include "shell/flutter_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/engine_project.h"
#include "standins/engine/engine_standin.h"
#include "tests/messaging/stderr_capture.h"
#include "tests/standins/engine/standin_fixture.h"

namespace camvey {
namespace {

using ::testing::IsEmpty;
using ::testing::SizeIs;

class TestFlutterWindow : public FlutterWindow {
 public:
  TestFlutterWindow()
      : FlutterWindow(std::make_shared<WindowClass>(), flutter::EngineProject(u"data")) {}
  using FlutterWindow::HandleMessage;
};

// Dispatches what is waiting in this thread's queue, as the message loop would.
void RunPendingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

class FlutterWindowTest : public EngineStandinTest {
 protected:
  static FlutterDesktopViewControllerRef OnlyController() {
    const auto controllers = engine_standin::ViewControllers();
    return controllers.size() == 1 ? controllers[0] : nullptr;
  }
  static FlutterDesktopEngineRef OnlyEngine() {
    const auto engines = engine_standin::Engines();
    return engines.size() == 1 ? engines[0] : nullptr;
  }
};

TEST_F(FlutterWindowTest, HostsTheViewAndShowsOnceAtTheFirstFrame) {
  TestFlutterWindow window;
  ASSERT_TRUE(window.Create(L"Camvey", {10, 10}, {400, 300}));
  HWND hwnd = window.WindowHandle();
  const engine_standin::ViewControllerRecord record =
      engine_standin::ViewController(OnlyController());
  const RECT client = window.ClientArea();
  EXPECT_EQ(record.width, client.right - client.left);
  EXPECT_EQ(record.height, client.bottom - client.top);
  EXPECT_EQ(record.redraws, 1);
  HWND view = FlutterDesktopViewGetHWND(FlutterDesktopViewControllerGetView(OnlyController()));
  EXPECT_EQ(GetParent(view), hwnd);
  EXPECT_THAT(engine_standin::PluginRegistrations(), SizeIs(6));
  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(OnlyEngine());
  EXPECT_TRUE(engine_standin::CallbackOn(messenger, "camvey/ptp").has_value());

  EXPECT_FALSE(IsWindowVisible(hwnd));  // the frame comes through the message loop
  RunPendingMessages();
  EXPECT_TRUE(IsWindowVisible(hwnd));
  EXPECT_FALSE(engine_standin::FireNextFrame(OnlyEngine()));  // the callback was used up
}

TEST_F(FlutterWindowTest, AMessageTheEngineAnswersNeverReachesTheWindow) {
  TestFlutterWindow window;
  ASSERT_TRUE(window.Create(L"Camvey", {10, 10}, {400, 300}));
  HWND view = FlutterDesktopViewGetHWND(FlutterDesktopViewControllerGetView(OnlyController()));
  RECT before = {};
  GetWindowRect(view, &before);
  engine_standin::SetWindowMessageHandled(WM_SIZE, 7);

  SetWindowPos(window.WindowHandle(), nullptr, 0, 0, 700, 600,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  EXPECT_EQ(window.HandleMessage(window.WindowHandle(), WM_SIZE, SIZE_RESTORED, 0), 7);

  RECT after = {};
  GetWindowRect(view, &after);
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
}

TEST_F(FlutterWindowTest, FontChangeReloadsFontsOnceWhileTheEngineLives) {
  TestFlutterWindow window;
  ASSERT_TRUE(window.Create(L"Camvey", {10, 10}, {400, 300}));
  FlutterDesktopEngineRef engine = OnlyEngine();
  HWND hwnd = window.WindowHandle();
  EXPECT_EQ(SendMessageW(hwnd, WM_FONTCHANGE, 0, 0), 0);
  EXPECT_EQ(engine_standin::Engine(engine).reload_fonts_calls, 1);

  DestroyWindow(hwnd);
  EXPECT_TRUE(engine_standin::ViewController(OnlyController()).destroyed);
  window.HandleMessage(hwnd, WM_FONTCHANGE, 0, 0);
  EXPECT_EQ(engine_standin::Engine(engine).reload_fonts_calls, 1);
}

TEST_F(FlutterWindowTest, NoPluginAndNoChannelWhenTheViewCannotBeMade) {
  engine_standin::SetViewControllerCreationFails(true);
  StderrCapture stderr_capture;
  TestFlutterWindow window;
  EXPECT_FALSE(window.Create(L"Camvey", {10, 10}, {400, 300}));
  EXPECT_THAT(stderr_capture.Flushes(),
              ::testing::ElementsAre("Failed to create view controller.\n"));
  EXPECT_THAT(engine_standin::PluginRegistrations(), IsEmpty());
  FlutterDesktopMessengerRef messenger = engine_standin::MessengerOf(OnlyEngine());
  EXPECT_FALSE(engine_standin::CallbackOn(messenger, "camvey/ptp").has_value());

  // The native window stays until the object goes; its messages reach neither the
  // failed controller nor the ended engine.
  SendMessageW(window.WindowHandle(), WM_FONTCHANGE, 0, 0);
  SendMessageW(window.WindowHandle(), WM_SIZE, SIZE_RESTORED, 0);
}

}  // namespace
}  // namespace camvey
