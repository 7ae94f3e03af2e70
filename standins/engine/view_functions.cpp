// The view controller, view and window functions of the interface, and their control.
// The view's window itself is in view_window_*.cpp.

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "standins/engine/standin_state.h"
#include "standins/engine/view_window.h"

struct FlutterDesktopView {
  FlutterDesktopViewController* controller = nullptr;
};

struct FlutterDesktopViewController {
  engine_standin::ViewControllerRecord record;
  FlutterDesktopEngine* engine = nullptr;
  FlutterDesktopView view;
  // Set before the controller is handed out; owned by the view.
  HWND window = nullptr;
};

namespace engine_standin {

namespace {

// Guarded by State::mutex.
struct ViewState {
  std::vector<std::unique_ptr<FlutterDesktopViewController>> controllers;
  bool creation_fails = false;
  std::map<UINT, LRESULT> handled_messages;
  std::optional<UINT> monitor_dpi;
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

void ResetViews() {
  for (const auto& controller : Views().controllers) {
    if (!controller->record.destroyed) {
      CloseViewWindow(controller->window);
    }
  }
  Views() = ViewState();
}

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
  engine_standin::ViewStart start;
  FlutterDesktopViewController* controller = nullptr;
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    FlutterDesktopEngine* known = state.FindEngine(engine, "FlutterDesktopViewControllerCreate");
    if (known != nullptr) {
      if (known->record.handed_over) {
        state.FailLocked(
            "FlutterDesktopViewControllerCreate: the engine already belongs to another");
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
    auto created = std::make_unique<FlutterDesktopViewController>();
    created->record.width = width;
    created->record.height = height;
    created->record.engine = known;
    created->engine = known;
    created->view.controller = created.get();
    controller = created.get();
    Views().controllers.push_back(std::move(created));
    start.width = width;
    start.height = height;
    start.engine = known;
    start.name = &controller->view;
    start.run_application = !state.under_test_control;
    start.properties = known->record.properties;
  }
  // The window's procedure runs during its creation: no stand-in mutex may be held.
  HWND window = engine_standin::OpenViewWindow(start);
  std::lock_guard<std::mutex> guard(state.mutex);
  if (window == nullptr) {
    State::EndEngine(controller->engine);
    auto& controllers = Views().controllers;
    controllers.erase(
        std::find_if(controllers.begin(), controllers.end(),
                     [controller](const auto& known) { return known.get() == controller; }));
    return nullptr;
  }
  controller->window = window;
  return controller;
}

void FlutterDesktopViewControllerDestroy(FlutterDesktopViewControllerRef controller) {
  State& state = State::Get();
  HWND window = nullptr;
  {
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
    window = known->window;
  }
  engine_standin::CloseViewWindow(window);
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
  HWND window = nullptr;
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    FlutterDesktopViewController* known =
        Views().Find(controller, "FlutterDesktopViewControllerForceRedraw");
    if (known == nullptr) {
      return;
    }
    ++known->record.redraws;
    window = known->window;
  }
  engine_standin::RequestFrame(window);
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
  return view != nullptr ? view->controller->window : nullptr;
}

UINT FlutterDesktopGetDpiForMonitor(HMONITOR monitor) {
  std::optional<UINT> dpi;
  {
    State& state = State::Get();
    std::lock_guard<std::mutex> guard(state.mutex);
    dpi = Views().monitor_dpi;
  }
  return dpi.has_value() ? *dpi : engine_standin::SystemDpiForMonitor(monitor);
}

void FlutterDesktopResyncOutputStreams(void) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  ++Views().resync_output_streams_calls;
}
