#include "shell/win32_window.h"

#include <dwmapi.h>

#include <utility>

#include "engine_api/flutter_desktop_api.h"
#include "shell/win32_holders.h"

namespace camvey {

namespace {

constexpr wchar_t kWindowClassName[] = L"FLUTTER_RUNNER_WIN32_WINDOW";
// The executable's icon group.
constexpr WORD kIconResourceId = 101;
constexpr double kBaseDpi = 96.0;
// DWMWA_USE_IMMERSIVE_DARK_MODE, newer than some SDK headers.
constexpr DWORD kDarkModeAttribute = 20;
constexpr wchar_t kThemeKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr wchar_t kLightThemeValue[] = L"AppsUseLightTheme";

int32_t Scale(int32_t value, double factor) { return static_cast<int32_t>(value * factor); }

}  // namespace

WindowSystemCalls WindowSystemCalls::System() {
  return {&DwmSetWindowAttribute, &MonitorFromPoint};
}

WindowClass::~WindowClass() { UnregisterClassW(kWindowClassName, nullptr); }

const wchar_t* WindowClass::EnsureRegistered() {
  if (!registered_) {
    WNDCLASSW window_class = {};
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = &Win32Window::WindowProcedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hIcon = LoadIconW(window_class.hInstance, MAKEINTRESOURCEW(kIconResourceId));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = kWindowClassName;
    RegisterClassW(&window_class);
    registered_ = true;
  }
  return kWindowClassName;
}

Win32Window::Win32Window(std::shared_ptr<WindowClass> window_class, const WindowSystemCalls& calls)
    : calls_(calls), window_class_(std::move(window_class)) {}

Win32Window::~Win32Window() { Destroy(); }

bool Win32Window::Create(const std::wstring& title, const LogicalPoint& origin,
                         const LogicalSize& size) {
  Destroy();
  const wchar_t* class_name = window_class_->EnsureRegistered();

  const POINT target = {origin.x, origin.y};
  HMONITOR monitor = calls_.monitor_from_point(target, MONITOR_DEFAULTTONEAREST);
  const double scale = FlutterDesktopGetDpiForMonitor(monitor) / kBaseDpi;

  HWND window =
      CreateWindowExW(0, class_name, title.c_str(), WS_OVERLAPPEDWINDOW, Scale(origin.x, scale),
                      Scale(origin.y, scale), Scale(size.width, scale), Scale(size.height, scale),
                      nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (window == nullptr) {
    return false;
  }
  ApplyTheme(window);
  return OnCreated();
}

bool Win32Window::Show() { return ShowWindow(window_handle_, SW_SHOWNORMAL) != 0; }

void Win32Window::Destroy() {
  OnDestroying();
  if (window_handle_ != nullptr) {
    DestroyWindow(window_handle_);
    window_handle_ = nullptr;
  }
}

void Win32Window::AttachContent(HWND content) {
  content_handle_ = content;
  SetParent(content, window_handle_);
  FitContent();
  SetFocus(content);
}

RECT Win32Window::ClientArea() const {
  RECT area = {};
  GetClientRect(window_handle_, &area);
  return area;
}

void Win32Window::FitContent() {
  const RECT area = ClientArea();
  MoveWindow(content_handle_, area.left, area.top, area.right - area.left, area.bottom - area.top,
             TRUE);
}

LRESULT CALLBACK Win32Window::WindowProcedure(HWND hwnd, UINT message, WPARAM wparam,
                                              LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    // A window of this class made by anyone but Create carries no object.
    auto* window = create != nullptr ? static_cast<Win32Window*>(create->lpCreateParams) : nullptr;
    if (window != nullptr) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
      EnableNonClientScaling(hwnd);
      window->window_handle_ = hwnd;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  auto* window = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window == nullptr) {
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  const LRESULT result = window->HandleMessage(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    // The window's last message: nothing may reach the object through it afterwards.
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  }
  return result;
}

LRESULT Win32Window::HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_DESTROY:
      window_handle_ = nullptr;
      Destroy();
      if (quit_when_closed_) {
        PostQuitMessage(0);
      }
      return 0;
    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(hwnd, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_SIZE:
      if (content_handle_ != nullptr) {
        FitContent();
      }
      return 0;
    case WM_ACTIVATE:
      if (content_handle_ != nullptr) {
        SetFocus(content_handle_);
      }
      return 0;
    case WM_DWMCOLORIZATIONCOLORCHANGED:
      ApplyTheme(hwnd);
      return 0;
    default:
      // The handle the message came with: the one kept is gone from WM_DESTROY on, and
      // WM_NCDESTROY still has to reach the default procedure with its window.
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

bool Win32Window::OnCreated() { return true; }

void Win32Window::OnDestroying() {}

void Win32Window::ApplyTheme(HWND hwnd) const {
  DWORD light_theme = 0;
  DWORD size = sizeof(light_theme);
  const LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, kThemeKey, kLightThemeValue,
                                      RRF_RT_REG_DWORD, nullptr, &light_theme, &size);
  if (status != ERROR_SUCCESS) {
    return;
  }
  const BOOL dark_mode = light_theme == 0 ? TRUE : FALSE;
  calls_.set_window_attribute(hwnd, kDarkModeAttribute, &dark_mode, sizeof(dark_mode));
}

void Win32Window::EnableNonClientScaling(HWND hwnd) {
  const LoadedLibrary user32(LoadLibraryA("User32.dll"));
  if (user32 == nullptr) {
    return;
  }
  using EnableNonClientDpiScalingFunction = BOOL(WINAPI*)(HWND);
  // The function exists only on systems with per-monitor DPI support.
  auto enable = reinterpret_cast<EnableNonClientDpiScalingFunction>(
      reinterpret_cast<void*>(GetProcAddress(user32.get(), "EnableNonClientDpiScaling")));
  if (enable != nullptr) {
    enable(hwnd);
  }
}

}  // namespace camvey
