// The view controller, view and window functions of the interface, and their control.
// This is the part of the stand-in that a real view window replaces; here the view is a
// record, and its window handle names the record without being a window.

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "standins/engine/standin_state.h"

struct FlutterDesktopView {
  FlutterDesktopViewController* controller = nullptr;
};

struct FlutterDesktopViewController {
  engine_standin::ViewControllerRecord record;
  FlutterDesktopEngine* engine = nullptr;
  FlutterDesktopView view;
};

namespace engine_standin {

namespace {

constexpr UINT kDefaultDpi = 96;

// Guarded by State::mutex.
struct ViewState {
  std::vector<std::unique_ptr<FlutterDesktopViewController>> controllers;
  bool creation_fails = false;
  std::map<UINT, LRESULT> handled_messages;
  UINT monitor_dpi = kDefaultDpi;
  int resync_output_streams_calls = 0;

  FlutterDesktopViewController* Find(FlutterDesktopViewControllerRef controller,
                                     const char* function) {
    for (const auto& known : controllers) {
      if (known.get() == controller) {
        return known.get();
      }
    }
    State::Get().FailLocked(std::string(function) + ": not a view controller handle");
    return nullptr;
  }
};

ViewState& Views() {
  static ViewState* const views = new ViewState();
  return *views;
}

}  // namespace

void ResetViews() { Views() = ViewState(); }

std::vector<FlutterDesktopViewControllerRef> ViewControllers() {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  std::vector<FlutterDesktopViewControllerRef> controllers;
  for (const auto& controller : Views().controllers) {
    controllers.push_back(controller.get());
  }
  return controllers;
}

ViewControllerRecord ViewController(FlutterDesktopViewControllerRef controller) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopViewController* known = Views().Find(controller, "engine_standin::ViewController");
  return known != nullptr ? known->record : ViewControllerRecord();
}

void SetViewControllerCreationFails(bool fails) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  Views().creation_fails = fails;
}

void SetWindowMessageHandled(UINT message, LRESULT result) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  Views().handled_messages[message] = result;
}

void SetMonitorDpi(UINT dpi) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  Views().monitor_dpi = dpi;
}

int ResyncOutputStreamsCalls() {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  return Views().resync_output_streams_calls;
}

}  // namespace engine_standin

using engine_standin::State;
using engine_standin::Views;

FlutterDesktopViewControllerRef FlutterDesktopViewControllerCreate(int width, int height,
                                                                   FlutterDesktopEngineRef engine) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopEngine* known = state.FindEngine(engine, "FlutterDesktopViewControllerCreate");
  if (known != nullptr) {
    if (known->record.handed_over) {
      state.FailLocked("FlutterDesktopViewControllerCreate: the engine already belongs to another");
      return nullptr;
    }
    known->record.handed_over = true;
  }
  if (known == nullptr || !known->record.running || Views().creation_fails) {
    // The engine was taken over all the same: it ends here.
    if (known != nullptr) {
      State::EndEngine(known);
    }
    return nullptr;
  }
  auto controller = std::make_unique<FlutterDesktopViewController>();
  controller->record.width = width;
  controller->record.height = height;
  controller->record.engine = known;
  controller->engine = known;
  controller->view.controller = controller.get();
  Views().controllers.push_back(std::move(controller));
  return Views().controllers.back().get();
}

void FlutterDesktopViewControllerDestroy(FlutterDesktopViewControllerRef controller) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopViewController* known =
      Views().Find(controller, "FlutterDesktopViewControllerDestroy");
  if (known == nullptr) {
    return;
  }
  if (known->record.destroyed) {
    state.FailLocked("FlutterDesktopViewControllerDestroy: destroyed twice");
    return;
  }
  known->record.destroyed = true;
  State::EndEngine(known->engine);
}

FlutterDesktopViewRef FlutterDesktopViewControllerGetView(
    FlutterDesktopViewControllerRef controller) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopViewController* known =
      Views().Find(controller, "FlutterDesktopViewControllerGetView");
  return known != nullptr ? &known->view : nullptr;
}

void FlutterDesktopViewControllerForceRedraw(FlutterDesktopViewControllerRef controller) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopViewController* known =
      Views().Find(controller, "FlutterDesktopViewControllerForceRedraw");
  if (known != nullptr) {
    ++known->record.redraws;
  }
}

bool FlutterDesktopViewControllerHandleTopLevelWindowProc(
    FlutterDesktopViewControllerRef controller, HWND hwnd, UINT message, WPARAM wparam,
    LPARAM lparam, LRESULT* result) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopViewController* known =
      Views().Find(controller, "FlutterDesktopViewControllerHandleTopLevelWindowProc");
  if (known == nullptr) {
    return false;
  }
  known->record.window_messages.push_back({hwnd, message, wparam, lparam});
  auto handled = Views().handled_messages.find(message);
  if (handled == Views().handled_messages.end()) {
    return false;
  }
  *result = handled->second;
  return true;
}

HWND FlutterDesktopViewGetHWND(FlutterDesktopViewRef view) {
  // Names the view; no window stands behind it.
  return reinterpret_cast<HWND>(view);
}

UINT FlutterDesktopGetDpiForMonitor(HMONITOR /*monitor*/) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  return Views().monitor_dpi;
}

void FlutterDesktopResyncOutputStreams(void) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  ++Views().resync_output_streams_calls;
}
