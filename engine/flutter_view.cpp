#include "engine/flutter_view.h"

namespace flutter {

HWND FlutterView::WindowHandle() const { return FlutterDesktopViewGetHWND(view_); }

}  // namespace flutter
