#ifndef CAMVEY_ENGINE_FLUTTER_VIEW_CONTROLLER_H_
#define CAMVEY_ENGINE_FLUTTER_VIEW_CONTROLLER_H_

#include <memory>
#include <optional>

#include "engine/engine_project.h"
#include "engine/flutter_engine.h"
#include "engine/flutter_view.h"
#include "engine_api/flutter_desktop_api.h"

namespace flutter {

// The engine's view inside a window. Owns the engine from creation on: destruction ends
// the view controller handle (and with it the engine), then the view wrapper, then the
// engine wrapper. Used on the platform thread.
class FlutterViewController {
 public:
  // Starts an engine on `project` and a view of `width` × `height` physical pixels.
  // On failure a line goes to standard error and View() is null.
  FlutterViewController(int width, int height, const EngineProject& project);
  virtual ~FlutterViewController();

  FlutterViewController(const FlutterViewController&) = delete;
  FlutterViewController& operator=(const FlutterViewController&) = delete;

  // Never null.
  FlutterEngine* Engine() const { return engine_.get(); }
  // Null when the view controller could not be created.
  FlutterView* View() const { return view_.get(); }

  // Does nothing when the view controller could not be created.
  void ForceRedraw();

  // The engine's answer to a message of the top-level window, or nothing when the
  // engine did not handle it or the view controller could not be created.
  std::optional<LRESULT> HandleTopLevelWindowProc(HWND hwnd, UINT message, WPARAM wparam,
                                                  LPARAM lparam);

 private:
  FlutterDesktopViewControllerRef controller_ = nullptr;
  std::shared_ptr<FlutterEngine> engine_;
  std::unique_ptr<FlutterView> view_;
};

}  // namespace flutter

#endif  // CAMVEY_ENGINE_FLUTTER_VIEW_CONTROLLER_H_
