// The registration functions of the six plug-in libraries: each call is recorded.

#include <mutex>
#include <string>
#include <vector>

#include "standins/engine/standin_state.h"

namespace engine_standin {

namespace {

void RecordRegistration(const char* function, FlutterDesktopPluginRegistrarRef registrar) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.RequirePlatformThreadLocked(function);
  state.plugin_registrations.push_back({function, registrar});
}

}  // namespace

std::vector<PluginRegistration> PluginRegistrations() {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  return state.plugin_registrations;
}

}  // namespace engine_standin

void MediaKitLibsWindowsVideoPluginCApiRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  engine_standin::RecordRegistration(__func__, registrar);
}

void MediaKitVideoPluginCApiRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  engine_standin::RecordRegistration(__func__, registrar);
}

void ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  engine_standin::RecordRegistration(__func__, registrar);
}

void Sqlite3FlutterLibsPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  engine_standin::RecordRegistration(__func__, registrar);
}

void UrlLauncherWindowsRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  engine_standin::RecordRegistration(__func__, registrar);
}

void WindowManagerPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  engine_standin::RecordRegistration(__func__, registrar);
}
