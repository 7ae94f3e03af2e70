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
  std::map<HMONITOR, UINT> monitor_dpi;
  int resync_output_streams_calls = 0;

  // A view controller the stand-in handed out, destroyed or not; null, with a failure
  // naming `function`, for anything else.
  FlutterDesktopViewController* Find(FlutterDesktopViewControllerRef controller,
                                     const char* function) {
    if (controller == nullptr) {
      State::Get().FailLocked(std::string(function) + ": null view controller handle");
      return nullptr;
    }
    for (const auto& known : controllers) {
      if (known.get() == controller) {
        return known.get();
      }
    }
    State::Get().FailLocked(std::string(function) + ": not a view controller handle");
    return nullptr;
  }

  // The same, and a failure for a destroyed one, whose view and engine are gone.
  FlutterDesktopViewController* FindLive(FlutterDesktopViewControllerRef controller,
                                         const char* function) {
    FlutterDesktopViewController* known = Find(controller, function);
    if (known != nullptr && known->record.destroyed) {
      State::Get().FailLocked(std::string(function) + ": the view controller was destroyed");
      return nullptr;
    }
    return known;
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

void SetMonitorDpi(HMONITOR monitor, UINT dpi) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  Views().monitor_dpi[monitor] = dpi;
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
    state.RequirePlatformThreadLocked("FlutterDesktopViewControllerCreate");
    FlutterDesktopEngine* known = state.FindEngine(engine, "FlutterDesktopViewControllerCreate");
    if (known != nullptr) {
      if (known->record.handed_over) {
        state.FailLocked(
            "FlutterDesktopViewControllerCreate: the engine already belongs to another");
        return nullptr;
      }
      if (!known->record.running) {
        state.FailLocked("FlutterDesktopViewControllerCreate: the engine has ended");
        return nullptr;
      }
      known->record.handed_over = true;
    }
    if (known == nullptr || Views().creation_fails) {
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
    state.RequirePlatformThreadLocked("FlutterDesktopViewControllerDestroy");
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
  state.RequirePlatformThreadLocked("FlutterDesktopViewControllerGetView");
  FlutterDesktopViewController* known =
      Views().FindLive(controller, "FlutterDesktopViewControllerGetView");
  return known != nullptr ? &known->view : nullptr;
}

void FlutterDesktopViewControllerForceRedraw(FlutterDesktopViewControllerRef controller) {
  State& state = State::Get();
  HWND window = nullptr;
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    state.RequirePlatformThreadLocked("FlutterDesktopViewControllerForceRedraw");
    FlutterDesktopViewController* known =
        Views().FindLive(controller, "FlutterDesktopViewControllerForceRedraw");
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
  state.RequirePlatformThreadLocked("FlutterDesktopViewControllerHandleTopLevelWindowProc");
  FlutterDesktopViewController* known =
      Views().FindLive(controller, "FlutterDesktopViewControllerHandleTopLevelWindowProc");
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
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.RequirePlatformThreadLocked("FlutterDesktopViewGetHWND");
  if (view == nullptr) {
    state.FailLocked("FlutterDesktopViewGetHWND: null view handle");
    return nullptr;
  }
  for (const auto& controller : Views().controllers) {
    if (&controller->view == view) {
      if (controller->record.destroyed) {
        state.FailLocked("FlutterDesktopViewGetHWND: the view's controller was destroyed");
        return nullptr;
      }
      return controller->window;
    }
  }
  state.FailLocked("FlutterDesktopViewGetHWND: not a view handle");
  return nullptr;
}

UINT FlutterDesktopGetDpiForMonitor(HMONITOR monitor) {
  std::optional<UINT> dpi;
  {
    State& state = State::Get();
    std::lock_guard<std::mutex> guard(state.mutex);
    state.RequirePlatformThreadLocked("FlutterDesktopGetDpiForMonitor");
    if (monitor == nullptr) {
      state.FailLocked("FlutterDesktopGetDpiForMonitor: null monitor handle");
      return engine_standin::SystemDpiForMonitor(monitor);
    }
    auto set = Views().monitor_dpi.find(monitor);
    if (set != Views().monitor_dpi.end()) {
      dpi = set->second;
    }
  }
  return dpi.has_value() ? *dpi : engine_standin::SystemDpiForMonitor(monitor);
}

void FlutterDesktopResyncOutputStreams(void) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.RequirePlatformThreadLocked("FlutterDesktopResyncOutputStreams");
  ++Views().resync_output_streams_calls;
}
