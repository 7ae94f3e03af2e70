// Away from Windows the view is a record: its window handle names it, frames come only
// from FireNextFrame, and no application runs.

#include "standins/engine/view_window.h"

namespace engine_standin {

namespace {
constexpr UINT kDefaultDpi = 96;
}  // namespace

HWND OpenViewWindow(const ViewStart& start) { return static_cast<HWND>(start.name); }

void CloseViewWindow(HWND /*window*/) {}

void RequestFrame(HWND /*window*/) {}

UINT SystemDpiForMonitor(HMONITOR /*monitor*/) { return kDefaultDpi; }

void NoteAnswerSent() {}

}  // namespace engine_standin
