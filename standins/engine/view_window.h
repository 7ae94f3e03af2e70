#ifndef CAMVEY_STANDINS_ENGINE_VIEW_WINDOW_H_
#define CAMVEY_STANDINS_ENGINE_VIEW_WINDOW_H_

// The view's native window: the one part of the stand-in that differs between
// platforms. Away from Windows it is a name for the view and nothing more. On Windows
// it is a real child window that paints, reports each frame through the message loop
// (never inside the call that asked for it), and, outside test control, runs the
// scripted application. All functions are called without State::mutex held, on the
// thread that owns the window.

#include <string>

#include "engine_api/flutter_desktop_api.h"
#include "standins/engine/engine_standin.h"

namespace engine_standin {

struct ViewStart {
  int width = 0;
  int height = 0;
  FlutterDesktopEngine* engine = nullptr;
  // What names the view where no window stands behind it.
  void* name = nullptr;
  // Outside test control the engine runs the application of its start record.
  bool run_application = false;
  RecordedProperties properties;
};

// The view's window, or null when the engine could not start (a line on standard
// error says why, except for a view failure that the application's script asked for).
HWND OpenViewWindow(const ViewStart& start);
void CloseViewWindow(HWND window);
// Draws a frame soon; the engine's next-frame callback runs after it.
void RequestFrame(HWND window);
// The monitor's own DPI.
UINT SystemDpiForMonitor(HMONITOR monitor);

// Called whenever the host answers an incoming message, from the answering thread.
void NoteAnswerSent();

}  // namespace engine_standin

#endif  // CAMVEY_STANDINS_ENGINE_VIEW_WINDOW_H_
