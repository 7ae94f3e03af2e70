#include "engine/flutter_view_controller.h"

#include <iostream>

namespace flutter {

FlutterViewController::FlutterViewController(int width, int height, const EngineProject& project)
    : engine_(std::make_shared<FlutterEngine>(project)) {
  // An engine that did not start is never handed to the engine library.
  FlutterDesktopEngineRef engine = engine_->HandOverEngine();
  if (engine != nullptr) {
    controller_ = FlutterDesktopViewControllerCreate(width, height, engine);
    if (controller_ == nullptr) {
      // The library took the engine over all the same, and has ended it.
      engine_->ForgetEndedEngine();
    }
  }
  if (controller_ == nullptr) {
    std::cerr << "Failed to create view controller.\n" << std::flush;
    return;
  }
  view_ = std::make_unique<FlutterView>(FlutterDesktopViewControllerGetView(controller_));
}

FlutterViewController::~FlutterViewController() {
  if (controller_ != nullptr) {
    FlutterDesktopViewControllerDestroy(controller_);
  }
  view_.reset();
  engine_.reset();
}

void FlutterViewController::ForceRedraw() {
  if (controller_ != nullptr) {
    FlutterDesktopViewControllerForceRedraw(controller_);
  }
}

std::optional<LRESULT> FlutterViewController::HandleTopLevelWindowProc(HWND hwnd, UINT message,
                                                                       WPARAM wparam,
                                                                       LPARAM lparam) {
  LRESULT result = 0;
  if (controller_ != nullptr && FlutterDesktopViewControllerHandleTopLevelWindowProc(
                                    controller_, hwnd, message, wparam, lparam, &result)) {
    return result;
  }
  return std::nullopt;
}

}  // namespace flutter
