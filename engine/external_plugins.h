#ifndef CAMVEY_ENGINE_EXTERNAL_PLUGINS_H_
#define CAMVEY_ENGINE_EXTERNAL_PLUGINS_H_

#include "engine/plugin_registry.h"

namespace flutter {

// Registers the six plug-in libraries that the application uses, always in the same
// order, each with the registrar `registry` gives for it (null included).
void RegisterExternalPlugins(PluginRegistry* registry);

}  // namespace flutter

#endif  // CAMVEY_ENGINE_EXTERNAL_PLUGINS_H_
