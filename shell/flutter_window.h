#ifndef CAMVEY_SHELL_FLUTTER_WINDOW_H_
#define CAMVEY_SHELL_FLUTTER_WINDOW_H_

#include <windows.h>

#include <memory>

#include "engine/engine_project.h"
#include "engine/flutter_view_controller.h"
#include "ptp/ptp_service.h"
#include "shell/win32_window.h"

namespace camvey {

// The top-level window that hosts the engine. Once its native window exists it starts
// the engine with a view the size of its client area, registers the plug-ins and the
// "camvey/ptp" channel, takes the view as its content and shows itself at the engine's
// first frame, so that nobody sees an empty window. The engine sees every top-level
// message first. Destroying the window ends the engine. The window owns the clean-up
// service, with the platform's parts, and outlives its engine by it.
class FlutterWindow : public Win32Window {
 public:
  // `window_class`: as for Win32Window.
  FlutterWindow(std::shared_ptr<WindowClass> window_class, const flutter::EngineProject& project);
  ~FlutterWindow() override;

 protected:
  LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override;
  // False when the engine's view cannot be made; nothing is registered then.
  bool OnCreated() override;
  void OnDestroying() override;

 private:
  flutter::EngineProject project_;
  // Before the view controller, so that it goes after the engine, whose messenger
  // delivers its calls.
  ptp::PtpService ptp_service_;
  std::unique_ptr<flutter::FlutterViewController> view_controller_;
};

}  // namespace camvey

#endif  // CAMVEY_SHELL_FLUTTER_WINDOW_H_
