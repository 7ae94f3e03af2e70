#include "engine/flutter_engine.h"

#include <cstdint>
#include <iostream>
#include <utility>
#include <vector>

namespace flutter {

namespace {

static_assert(sizeof(FlutterDesktopPathChar) == sizeof(char16_t),
              "engine paths are UTF-16 code units");

const FlutterDesktopPathChar* EnginePath(const std::u16string& path) {
  return reinterpret_cast<const FlutterDesktopPathChar*>(path.c_str());
}

}  // namespace

FlutterEngine::FlutterEngine(const EngineProject& project) {
  FlutterDesktopEngineProperties properties = {};
  properties.assets_path = EnginePath(project.assets_path());
  properties.icu_data_path = EnginePath(project.icu_data_path());
  properties.aot_library_path = EnginePath(project.aot_library_path());
  properties.dart_entrypoint = project.entrypoint().c_str();

  // The engine copies the record during creation; the array only has to outlive it.
  std::vector<const char*> arguments;
  arguments.reserve(project.entrypoint_arguments().size());
  for (const std::string& argument : project.entrypoint_arguments()) {
    arguments.push_back(argument.c_str());
  }
  properties.dart_entrypoint_argc = static_cast<int32_t>(arguments.size());
  properties.dart_entrypoint_argv = arguments.empty() ? nullptr : arguments.data();

  for (int i = 0; i < 4; ++i) {
    properties.options[i] = project.options().values[i];
  }
  properties.option_flag = project.options().flag;

  engine_ = FlutterDesktopEngineCreate(&properties);
  // An engine that did not start has no messenger; the messenger then has no handle.
  messenger_ = std::make_unique<BinaryMessengerImpl>(
      engine_ != nullptr ? FlutterDesktopEngineGetMessenger(engine_) : nullptr);
}

FlutterEngine::~FlutterEngine() {
  if (engine_ != nullptr && owns_engine_) {
    FlutterDesktopEngineDestroy(engine_);
  }
  engine_ = nullptr;
  next_frame_callback_ = nullptr;
  messenger_.reset();
}

FlutterDesktopPluginRegistrarRef FlutterEngine::RegistrarForPlugin(const std::string& plugin_name) {
  if (engine_ == nullptr) {
    std::cerr << "Cannot get plugin registrar on an engine that isn't running; call Run first.\n"
              << std::flush;
    return nullptr;
  }
  return FlutterDesktopEngineGetPluginRegistrar(engine_, plugin_name.c_str());
}

void FlutterEngine::ReloadSystemFonts() {
  if (engine_ != nullptr) {
    FlutterDesktopEngineReloadSystemFonts(engine_);
  }
}

void FlutterEngine::SetNextFrameCallback(std::function<void()> callback) {
  next_frame_callback_ = std::move(callback);
  if (engine_ != nullptr) {
    FlutterDesktopEngineSetNextFrameCallback(engine_, &OnNextFrame, this);
  }
}

FlutterDesktopEngineRef FlutterEngine::HandOverEngine() {
  owns_engine_ = false;
  return engine_;
}

void FlutterEngine::ForgetEndedEngine() {
  engine_ = nullptr;
  messenger_ = std::make_unique<BinaryMessengerImpl>(nullptr);
}

void FlutterEngine::OnNextFrame(void* user_data) {
  auto* engine = static_cast<FlutterEngine*>(user_data);
  if (!engine->next_frame_callback_) {
    return;
  }
  // Taken out before it runs, so it runs once and may set the callback for a later frame.
  std::function<void()> callback = std::move(engine->next_frame_callback_);
  engine->next_frame_callback_ = nullptr;
  try {
    callback();
  } catch (...) {
    // Nothing may unwind into the engine library.
    std::cerr << "Exception in the next-frame callback.\n" << std::flush;
  }
}

}  // namespace flutter
