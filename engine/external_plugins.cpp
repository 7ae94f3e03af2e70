#include "engine/external_plugins.h"

#include "engine_api/flutter_desktop_api.h"

namespace flutter {

namespace {

struct ExternalPlugin {
  const char* registrar_name;
  void (*register_with_registrar)(FlutterDesktopPluginRegistrarRef registrar);
};

constexpr ExternalPlugin kExternalPlugins[] = {
    {"MediaKitLibsWindowsVideoPluginCApi",
     &MediaKitLibsWindowsVideoPluginCApiRegisterWithRegistrar},
    {"MediaKitVideoPluginCApi", &MediaKitVideoPluginCApiRegisterWithRegistrar},
    {"ScreenRetrieverWindowsPluginCApi", &ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar},
    {"Sqlite3FlutterLibsPlugin", &Sqlite3FlutterLibsPluginRegisterWithRegistrar},
    {"UrlLauncherWindows", &UrlLauncherWindowsRegisterWithRegistrar},
    {"WindowManagerPlugin", &WindowManagerPluginRegisterWithRegistrar},
};

}  // namespace

void RegisterExternalPlugins(PluginRegistry* registry) {
  for (const ExternalPlugin& plugin : kExternalPlugins) {
    plugin.register_with_registrar(registry->RegistrarForPlugin(plugin.registrar_name));
  }
}

}  // namespace flutter
