#ifndef CAMVEY_ENGINE_FLUTTER_ENGINE_H_
#define CAMVEY_ENGINE_FLUTTER_ENGINE_H_

#include <functional>
#include <memory>
#include <string>

#include "engine/engine_project.h"
#include "engine/plugin_registry.h"
#include "engine_api/flutter_desktop_api.h"
#include "messaging/binary_messenger.h"
#include "messaging/binary_messenger_impl.h"

namespace flutter {

// One engine of the engine library, its messenger and its plug-in registry. Created
// owning its engine handle; the view controller takes the handle over, after which this
// object never destroys it. Used on the platform thread.
class FlutterEngine : public PluginRegistry {
 public:
  // Starts an engine on `project`. A failed start leaves the handle null and the
  // messenger without a handle; the view controller's creation then fails too.
  explicit FlutterEngine(const EngineProject& project);
  // Destroys the engine if this object still owns it, then drops the next-frame
  // callback and the messenger.
  ~FlutterEngine() override;

  // Null, with a line on standard error, once the engine is not running.
  FlutterDesktopPluginRegistrarRef RegistrarForPlugin(const std::string& plugin_name) override;

  // Does nothing once the engine is not running.
  void ReloadSystemFonts();

  // Runs `callback` once, after the engine's next frame. A later call replaces an
  // earlier callback that has not run yet. An exception from it ends with the line
  // "Exception in the next-frame callback.". Once the engine is not running no frame
  // comes, and the callback never runs.
  void SetNextFrameCallback(std::function<void()> callback);

  BinaryMessenger* Messenger() { return messenger_.get(); }

  // Gives up ownership of the engine handle and returns it. For the view controller.
  FlutterDesktopEngineRef HandOverEngine();
  // The engine library ended the handed-over engine because its view controller could
  // not be made: the handle is dropped, and Messenger() is a messenger without an engine
  // from then on. For the view controller.
  void ForgetEndedEngine();

 private:
  static void OnNextFrame(void* user_data);

  FlutterDesktopEngineRef engine_ = nullptr;
  std::unique_ptr<BinaryMessengerImpl> messenger_;
  bool owns_engine_ = true;
  std::function<void()> next_frame_callback_;
};

}  // namespace flutter

#endif  // CAMVEY_ENGINE_FLUTTER_ENGINE_H_
