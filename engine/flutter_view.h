#ifndef CAMVEY_ENGINE_FLUTTER_VIEW_H_
#define CAMVEY_ENGINE_FLUTTER_VIEW_H_

#include "engine_api/flutter_desktop_api.h"

namespace flutter {

// The engine's view of a view controller. Borrows the view handle, which the view
// controller's handle owns.
class FlutterView {
 public:
  explicit FlutterView(FlutterDesktopViewRef view) : view_(view) {}
  virtual ~FlutterView() = default;

  FlutterView(const FlutterView&) = delete;
  FlutterView& operator=(const FlutterView&) = delete;

  // The view's child window, owned by the engine library.
  HWND WindowHandle() const;

 private:
  FlutterDesktopViewRef view_;
};

}  // namespace flutter

#endif  // CAMVEY_ENGINE_FLUTTER_VIEW_H_
