#ifndef CAMVEY_SHELL_WIN32_WINDOW_H_
#define CAMVEY_SHELL_WIN32_WINDOW_H_

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

namespace camvey {

// A point or a size in logical pixels (96 DPI); scaled to the monitor when used.
struct LogicalPoint {
  int32_t x;
  int32_t y;
};
struct LogicalSize {
  int32_t width;
  int32_t height;
};

// The system calls of a window whose effect a virtual display does not show, the
// system's by default: the title bar's dark mode has no visible effect under every
// window system, and a virtual display has one monitor. Tests give a window their own
// to see what it asks for.
struct WindowSystemCalls {
  // The desktop window manager's attribute call (DwmSetWindowAttribute).
  HRESULT(WINAPI* set_window_attribute)(HWND window, DWORD attribute, LPCVOID value, DWORD size);
  // The monitor look-up of Create (MonitorFromPoint).
  HMONITOR(WINAPI* monitor_from_point)(POINT point, DWORD flags);

  static WindowSystemCalls System();
};

// The registration of the window class "FLUTTER_RUNNER_WIN32_WINDOW", shared by the
// windows made with it: registered at the first Create of one of them, unregistered
// when the last of them goes. Used only on the thread that made the windows.
class WindowClass {
 public:
  WindowClass() = default;
  // Unregisters the class; harmless when it was never registered.
  ~WindowClass();

  WindowClass(const WindowClass&) = delete;
  WindowClass& operator=(const WindowClass&) = delete;

  // Registers the class unless this did so before, and returns its name. A failed
  // registration shows when no window can be created with the class.
  const wchar_t* EnsureRegistered();

 private:
  bool registered_ = false;
};

// The host's top-level window: DPI-aware and resizable, with one child window as its
// content, kept at the size of the client area and focused. It follows the user's
// light or dark title-bar preference and can end the thread's message loop when it is
// destroyed. Holds the registration of its window class with the other windows made
// with it (WindowClass). Used only on the thread that created it.
class Win32Window {
 public:
  explicit Win32Window(std::shared_ptr<WindowClass> window_class,
                       const WindowSystemCalls& calls = WindowSystemCalls::System());
  virtual ~Win32Window();

  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // Creates the native window, hidden, at `origin` with `size` scaled by the DPI of the
  // monitor nearest the unscaled origin. An earlier native window of this object is
  // destroyed first. False when the window cannot be made or OnCreated refuses; in the
  // latter case the native window stays until this object goes.
  bool Create(const std::wstring& title, const LogicalPoint& origin, const LogicalSize& size);
  bool Show();
  // Tears the native window down; safe when there is none.
  void Destroy();
  // Makes `content` the child window that fills the client area and has the focus.
  void AttachContent(HWND content);
  // Closing the window posts WM_QUIT with code 0 while `quit_when_closed` is set.
  void SetQuitWhenClosed(bool quit_when_closed) { quit_when_closed_ = quit_when_closed; }
  RECT ClientArea() const;
  HWND WindowHandle() const { return window_handle_; }

  static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

 protected:
  // Every message after WM_NCCREATE. Handles destruction, DPI changes, sizing and
  // activation for the content, and theme changes; returns 0 for those and the default
  // handling for the rest.
  virtual LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  // Called at the end of Create; false makes Create fail.
  virtual bool OnCreated();
  // Called when the native window is being destroyed, and when the object goes.
  virtual void OnDestroying();

 private:
  // Dark title bar exactly when the user's "AppsUseLightTheme" is 0; nothing changes
  // when the value cannot be read.
  void ApplyTheme(HWND hwnd) const;
  static void EnableNonClientScaling(HWND hwnd);
  void FitContent();

  const WindowSystemCalls calls_;
  // Goes after the destructor has destroyed the native window.
  const std::shared_ptr<WindowClass> window_class_;
  bool quit_when_closed_ = false;
  HWND window_handle_ = nullptr;
  HWND content_handle_ = nullptr;
};

}  // namespace camvey

#endif  // CAMVEY_SHELL_WIN32_WINDOW_H_
