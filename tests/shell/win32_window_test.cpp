#include "shell/win32_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "standins/engine/engine_standin.h"
#include "tests/standins/engine/standin_fixture.h"

namespace camvey {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr wchar_t kClassName[] = L"FLUTTER_RUNNER_WIN32_WINDOW";
constexpr wchar_t kThemeKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr wchar_t kThemeValue[] = L"AppsUseLightTheme";

// The user's "AppsUseLightTheme" as it was, put back (or deleted again) on destruction,
// so that the tests never change the theme of the desktop they run on.
class SavedThemeValue {
 public:
  SavedThemeValue() {
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kThemeKey, kThemeValue, RRF_RT_ANY, &type_, nullptr,
                     &size) != ERROR_SUCCESS) {
      return;
    }
    std::vector<BYTE> data(size);
    if (RegGetValueW(HKEY_CURRENT_USER, kThemeKey, kThemeValue, RRF_RT_ANY, &type_, data.data(),
                     &size) == ERROR_SUCCESS) {
      data.resize(size);
      data_ = std::move(data);
    }
  }
  ~SavedThemeValue() {
    if (data_.has_value()) {
      RegSetKeyValueW(HKEY_CURRENT_USER, kThemeKey, kThemeValue, type_, data_->data(),
                      static_cast<DWORD>(data_->size()));
    } else {
      RegDeleteKeyValueW(HKEY_CURRENT_USER, kThemeKey, kThemeValue);
    }
  }
  SavedThemeValue(const SavedThemeValue&) = delete;
  SavedThemeValue& operator=(const SavedThemeValue&) = delete;

 private:
  DWORD type_ = REG_NONE;
  std::optional<std::vector<BYTE>> data_;
};

std::optional<DWORD> ThemeValue() {
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (RegGetValueW(HKEY_CURRENT_USER, kThemeKey, kThemeValue, RRF_RT_REG_DWORD, nullptr, &value,
                   &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return value;
}

void SetThemeValue(std::optional<DWORD> value) {
  if (value.has_value()) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kThemeKey, kThemeValue, REG_DWORD, &*value,
                              sizeof(*value)),
              ERROR_SUCCESS);
  } else {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kThemeKey, kThemeValue);
  }
}

struct AttributeCall {
  HWND window;
  DWORD attribute;
  BOOL value;
  DWORD size;
  bool operator==(const AttributeCall& other) const {
    return window == other.window && attribute == other.attribute && value == other.value &&
           size == other.size;
  }
};

std::vector<AttributeCall>& AttributeCalls() {
  static std::vector<AttributeCall> calls;
  return calls;
}

HRESULT WINAPI RecordAttribute(HWND window, DWORD attribute, LPCVOID value, DWORD size) {
  AttributeCalls().push_back({window, attribute, *static_cast<const BOOL*>(value), size});
  return S_OK;
}

// The window's system calls with the attribute call recorded.
WindowSystemCalls RecordingCalls() {
  WindowSystemCalls calls = WindowSystemCalls::System();
  calls.set_window_attribute = &RecordAttribute;
  return calls;
}

class TestWindow : public Win32Window {
 public:
  explicit TestWindow(std::shared_ptr<WindowClass> window_class = std::make_shared<WindowClass>(),
                      const WindowSystemCalls& calls = RecordingCalls())
      : Win32Window(std::move(window_class), calls) {}
  using Win32Window::HandleMessage;
  int destroying_calls = 0;

 protected:
  void OnDestroying() override { ++destroying_calls; }
};

bool ClassRegistered() {
  WNDCLASSEXW info = {};
  info.cbSize = sizeof(info);
  return GetClassInfoExW(GetModuleHandleW(nullptr), kClassName, &info) != 0;
}

// WM_QUIT messages waiting in this thread's queue, taken out; their exit codes.
std::vector<WPARAM> TakeQuitMessages() {
  std::vector<WPARAM> codes;
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    codes.push_back(message.wParam);
  }
  return codes;
}

RECT WindowRect(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect;
}

class Win32WindowTest : public EngineStandinTest {
 protected:
  Win32WindowTest() {
    AttributeCalls().clear();
    SetThemeValue(std::nullopt);
  }
  ~Win32WindowTest() override { TakeQuitMessages(); }

 private:
  // First in, last out: the user's value is back after everything else.
  SavedThemeValue saved_theme_;
};

TEST(SavedThemeValueTest, PutsBackWhatTheUserHadOrNothing) {
  const SavedThemeValue users_own;
  for (const std::optional<DWORD> before :
       {std::optional<DWORD>(), std::optional<DWORD>(0), std::optional<DWORD>(1)}) {
    SetThemeValue(before);
    {
      const SavedThemeValue saved;
      SetThemeValue(before.has_value() ? std::nullopt : std::optional<DWORD>(1));
    }
    EXPECT_EQ(ThemeValue(), before);
  }
}

// Which point Create asks about, with two made-up monitors split at x = 50: the one on
// the left at 144 DPI, the one on the right at 96.
const HMONITOR kLeftMonitor = reinterpret_cast<HMONITOR>(uintptr_t{0x1000});
const HMONITOR kRightMonitor = reinterpret_cast<HMONITOR>(uintptr_t{0x2000});
std::vector<POINT>& MonitorQueries() {
  static std::vector<POINT> queries;
  return queries;
}
HMONITOR WINAPI SplitMonitors(POINT point, DWORD flags) {
  EXPECT_EQ(flags, static_cast<DWORD>(MONITOR_DEFAULTTONEAREST));
  MonitorQueries().push_back(point);
  return point.x < 50 ? kLeftMonitor : kRightMonitor;
}

TEST_F(Win32WindowTest, CreatesHiddenWithGeometryScaledByTheMonitorsDpi) {
  struct Case {
    UINT dpi;
    RECT expected;
  };
  // 12.5 is truncated to 12 at 120 DPI.
  for (const Case& c : {Case{96, {10, 10, 410, 310}}, Case{120, {12, 12, 512, 387}},
                        Case{144, {15, 15, 615, 465}}}) {
    SCOPED_TRACE(c.dpi);
    engine_standin::SetMonitorDpi(MonitorFromPoint({10, 10}, MONITOR_DEFAULTTONEAREST), c.dpi);
    TestWindow window;
    ASSERT_TRUE(window.Create(L"Camvey", {10, 10}, {400, 300}));
    const RECT rect = WindowRect(window.WindowHandle());
    EXPECT_EQ(rect.left, c.expected.left);
    EXPECT_EQ(rect.top, c.expected.top);
    EXPECT_EQ(rect.right, c.expected.right);
    EXPECT_EQ(rect.bottom, c.expected.bottom);
    EXPECT_FALSE(IsWindowVisible(window.WindowHandle()));
  }
}

TEST_F(Win32WindowTest, ScalesByTheMonitorNearestTheUnscaledOrigin) {
  engine_standin::SetMonitorDpi(kLeftMonitor, 144);
  engine_standin::SetMonitorDpi(kRightMonitor, 96);
  MonitorQueries().clear();
  WindowSystemCalls calls = RecordingCalls();
  calls.monitor_from_point = &SplitMonitors;
  TestWindow window(std::make_shared<WindowClass>(), calls);
  ASSERT_TRUE(window.Create(L"Camvey", {40, 10}, {400, 300}));
  ASSERT_EQ(MonitorQueries().size(), 1u);
  EXPECT_EQ(MonitorQueries()[0].x, 40);
  EXPECT_EQ(MonitorQueries()[0].y, 10);
  const RECT rect = WindowRect(window.WindowHandle());
  EXPECT_EQ(rect.left, 60);  // on the right of the split, but scaled for the left monitor
  EXPECT_EQ(rect.top, 15);
  EXPECT_EQ(rect.right - rect.left, 600);
  EXPECT_EQ(rect.bottom - rect.top, 450);
}

TEST_F(Win32WindowTest, AWindowOfTheClassMadeWithoutAnObjectIsLeftToTheSystem) {
  TestWindow window;
  ASSERT_TRUE(window.Create(L"Camvey", {10, 10}, {400, 300}));
  HWND stray = CreateWindowExW(0, kClassName, L"stray", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(stray, nullptr);
  EXPECT_EQ(SendMessageW(stray, WM_SIZE, SIZE_RESTORED, 0), 0);
  EXPECT_TRUE(DestroyWindow(stray));
  EXPECT_TRUE(IsWindow(window.WindowHandle()));
}

TEST_F(Win32WindowTest, DpiChangeMovesToTheSuggestedRectangle) {
  TestWindow window;
  ASSERT_TRUE(window.Create(L"Camvey", {10, 10}, {400, 300}));
  RECT suggested = {40, 50, 540, 430};
  EXPECT_EQ(SendMessageW(window.WindowHandle(), WM_DPICHANGED, MAKEWPARAM(120, 120),
                         reinterpret_cast<LPARAM>(&suggested)),
            0);
  const RECT rect = WindowRect(window.WindowHandle());
  EXPECT_EQ(rect.left, 40);
  EXPECT_EQ(rect.top, 50);
  EXPECT_EQ(rect.right, 540);
  EXPECT_EQ(rect.bottom, 430);
}

TEST_F(Win32WindowTest, ContentFollowsTheClientAreaOnlyOnceAttached) {
  TestWindow window;
  ASSERT_TRUE(window.Create(L"Camvey", {10, 10}, {400, 300}));
  HWND hwnd = window.WindowHandle();
  EXPECT_EQ(window.HandleMessage(hwnd, WM_SIZE, SIZE_RESTORED, 0), 0);
  EXPECT_EQ(window.HandleMessage(hwnd, WM_ACTIVATE, WA_ACTIVE, 0), 0);

  HWND content = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, HWND_MESSAGE,
                                 nullptr, nullptr, nullptr);
  ASSERT_NE(content, nullptr);
  window.AttachContent(content);
  EXPECT_EQ(GetParent(content), hwnd);
  SetWindowPos(hwnd, nullptr, 0, 0, 600, 500, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  RECT client = window.ClientArea();
  RECT placed = {};
  GetWindowRect(content, &placed);
  MapWindowPoints(HWND_DESKTOP, hwnd, reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.right - placed.left, client.right - client.left);
  EXPECT_EQ(placed.bottom - placed.top, client.bottom - client.top);
}

TEST_F(Win32WindowTest, TitleBarIsDarkExactlyWhenTheUserTurnedTheLightThemeOff) {
  {
    TestWindow window;
    ASSERT_TRUE(window.Create(L"Camvey", {10, 10}, {400, 300}));
    EXPECT_THAT(AttributeCalls(), IsEmpty());  // no value: the system's default look
  }
  SetThemeValue(0);
  TestWindow dark;
  ASSERT_TRUE(dark.Create(L"Camvey", {10, 10}, {400, 300}));
  SetThemeValue(1);
  SendMessageW(dark.WindowHandle(), WM_DWMCOLORIZATIONCOLORCHANGED, 0, 0);
  EXPECT_THAT(AttributeCalls(), ElementsAre(AttributeCall{dark.WindowHandle(), 20, TRUE, 4},
                                            AttributeCall{dark.WindowHandle(), 20, FALSE, 4}));
}

TEST_F(Win32WindowTest, ClosingPostsOneQuitWithCodeZeroOnlyWhenAsked) {
  TestWindow window;
  ASSERT_TRUE(window.Create(L"Camvey", {10, 10}, {400, 300}));
  DestroyWindow(window.WindowHandle());
  EXPECT_THAT(TakeQuitMessages(), IsEmpty());
  EXPECT_EQ(window.WindowHandle(), nullptr);
  EXPECT_EQ(window.destroying_calls, 2);  // Create's own clean-up, then WM_DESTROY

  ASSERT_TRUE(window.Create(L"Camvey", {10, 10}, {400, 300}));
  window.SetQuitWhenClosed(true);
  DestroyWindow(window.WindowHandle());
  EXPECT_THAT(TakeQuitMessages(), ElementsAre(WPARAM{0}));
}

TEST_F(Win32WindowTest, ClassIsRegisteredOnceAndGoesWithTheLastWindowObject) {
  auto window_class = std::make_shared<WindowClass>();
  auto first = std::make_unique<TestWindow>(window_class);
  ASSERT_TRUE(first->Create(L"Camvey", {10, 10}, {400, 300}));
  HWND earlier = first->WindowHandle();
  first->SetQuitWhenClosed(true);
  ASSERT_TRUE(first->Create(L"Camvey", {10, 10}, {400, 300}));
  EXPECT_FALSE(IsWindow(earlier));
  EXPECT_TRUE(IsWindow(first->WindowHandle()));
  EXPECT_THAT(TakeQuitMessages(), ElementsAre(WPARAM{0}));  // the earlier window was closed

  auto second = std::make_unique<TestWindow>(std::move(window_class));
  ASSERT_TRUE(second->Create(L"Camvey", {10, 10}, {400, 300}));
  first.reset();
  EXPECT_TRUE(ClassRegistered());
  DestroyWindow(second->WindowHandle());
  EXPECT_TRUE(ClassRegistered());  // the object still lives
  second.reset();
  EXPECT_FALSE(ClassRegistered());
}

}  // namespace
}  // namespace camvey
