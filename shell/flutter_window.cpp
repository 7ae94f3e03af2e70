#include "shell/flutter_window.h"

#include <utility>

#include "engine/external_plugins.h"
#include "ptp/ptp_channel.h"

namespace camvey {

FlutterWindow::FlutterWindow(std::shared_ptr<WindowClass> window_class,
                             const flutter::EngineProject& project)
    : Win32Window(std::move(window_class)), project_(project), ptp_service_(ptp::PlatformParts()) {}

FlutterWindow::~FlutterWindow() { view_controller_.reset(); }

bool FlutterWindow::OnCreated() {
  if (!Win32Window::OnCreated()) {
    return false;
  }
  const RECT frame = ClientArea();
  // The controller stored before, if any, goes only once the new one is in place.
  auto previous = std::exchange(view_controller_,
                                std::make_unique<flutter::FlutterViewController>(
                                    frame.right - frame.left, frame.bottom - frame.top, project_));
  previous.reset();
  if (view_controller_->Engine() == nullptr || view_controller_->View() == nullptr) {
    return false;
  }
  // Plug-ins and the clean-up channel are in place before the first frame can be drawn.
  flutter::RegisterExternalPlugins(view_controller_->Engine());
  ptp::RegisterPtpChannel(view_controller_->Engine()->Messenger(), ptp_service_);
  AttachContent(view_controller_->View()->WindowHandle());
  view_controller_->Engine()->SetNextFrameCallback([this]() { Show(); });
  view_controller_->ForceRedraw();
  return true;
}

void FlutterWindow::OnDestroying() {
  if (view_controller_ != nullptr) {
    auto ending = std::move(view_controller_);
    view_controller_ = nullptr;
    ending.reset();
  }
  Win32Window::OnDestroying();
}

LRESULT FlutterWindow::HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (view_controller_ != nullptr) {
    const std::optional<LRESULT> result =
        view_controller_->HandleTopLevelWindowProc(hwnd, message, wparam, lparam);
    if (result.has_value()) {
      return *result;
    }
  }
  if (message == WM_FONTCHANGE && view_controller_ != nullptr) {
    view_controller_->Engine()->ReloadSystemFonts();
  }
  return Win32Window::HandleMessage(hwnd, message, wparam, lparam);
}

}  // namespace camvey
