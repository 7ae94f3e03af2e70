#ifndef CAMVEY_ENGINE_PLUGIN_REGISTRY_H_
#define CAMVEY_ENGINE_PLUGIN_REGISTRY_H_

#include <string>

#include "engine_api/flutter_desktop_api.h"

namespace flutter {

// Hands out the engine's registrar for a plug-in.
class PluginRegistry {
 public:
  PluginRegistry() = default;
  virtual ~PluginRegistry() = default;

  PluginRegistry(const PluginRegistry&) = delete;
  PluginRegistry& operator=(const PluginRegistry&) = delete;

  // The registrar for the plug-in called `plugin_name`, or null. The registrar belongs
  // to the engine.
  virtual FlutterDesktopPluginRegistrarRef RegistrarForPlugin(const std::string& plugin_name) = 0;
};

}  // namespace flutter

#endif  // CAMVEY_ENGINE_PLUGIN_REGISTRY_H_
