// The engine functions of the interface, and the control of engines and registrars.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "standins/engine/standin_state.h"

namespace engine_standin {

namespace {

std::u16string CopyPath(const FlutterDesktopPathChar* path) {
  std::u16string copy;
  for (; path != nullptr && *path != 0; ++path) {
    copy.push_back(static_cast<char16_t>(*path));
  }
  return copy;
}

RecordedProperties CopyProperties(const FlutterDesktopEngineProperties& properties) {
  RecordedProperties copy;
  copy.assets_path = CopyPath(properties.assets_path);
  copy.icu_data_path = CopyPath(properties.icu_data_path);
  copy.aot_library_path = CopyPath(properties.aot_library_path);
  copy.entrypoint_is_null = properties.dart_entrypoint == nullptr;
  if (properties.dart_entrypoint != nullptr) {
    copy.entrypoint = properties.dart_entrypoint;
  }
  copy.argument_count = properties.dart_entrypoint_argc;
  copy.argument_array_is_null = properties.dart_entrypoint_argv == nullptr;
  if (properties.dart_entrypoint_argv != nullptr) {
    for (int32_t i = 0; i < properties.dart_entrypoint_argc; ++i) {
      copy.arguments.emplace_back(properties.dart_entrypoint_argv[i]);
    }
  }
  for (int i = 0; i < 4; ++i) {
    copy.options[i] = properties.options[i];
  }
  copy.option_flag = properties.option_flag;
  return copy;
}

}  // namespace

std::vector<FlutterDesktopEngineRef> Engines() {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  std::vector<FlutterDesktopEngineRef> engines;
  for (const auto& engine : state.engines) {
    engines.push_back(engine.get());
  }
  return engines;
}

EngineRecord Engine(FlutterDesktopEngineRef engine) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopEngine* known = state.FindEngine(engine, "engine_standin::Engine");
  return known != nullptr ? known->record : EngineRecord();
}

void SetEngineCreationFails(bool fails) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.engine_creation_fails = fails;
}

void WithholdRegistrar(const std::string& plugin_name) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.withheld_registrars.insert(plugin_name);
}

std::string RegistrarName(FlutterDesktopPluginRegistrarRef registrar) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  for (const auto& engine : state.engines) {
    for (const auto& known : engine->registrars) {
      if (known.get() == registrar) {
        return known->plugin_name;
      }
    }
  }
  state.FailLocked("engine_standin::RegistrarName: not a registrar handle");
  return std::string();
}

FlutterDesktopMessengerRef MessengerOf(FlutterDesktopEngineRef engine) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopEngine* known = state.FindEngine(engine, "engine_standin::MessengerOf");
  return known != nullptr ? &known->messenger : nullptr;
}

bool FireNextFrame(FlutterDesktopEngineRef engine) {
  State& state = State::Get();
  FlutterDesktopNextFrameCallback callback = nullptr;
  void* user_data = nullptr;
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    FlutterDesktopEngine* known = state.FindEngine(engine, "engine_standin::FireNextFrame");
    if (known == nullptr || known->next_frame == nullptr) {
      return false;
    }
    callback = known->next_frame;
    user_data = known->next_frame_user_data;
    known->next_frame = nullptr;
    known->next_frame_user_data = nullptr;
  }
  callback(user_data);
  return true;
}

}  // namespace engine_standin

using engine_standin::State;

FlutterDesktopEngineRef FlutterDesktopEngineCreate(
    const FlutterDesktopEngineProperties* engine_properties) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.RequirePlatformThreadLocked("FlutterDesktopEngineCreate");
  if (engine_properties == nullptr) {
    state.FailLocked("FlutterDesktopEngineCreate: no properties");
    return nullptr;
  }
  if (state.engine_creation_fails) {
    return nullptr;
  }
  auto engine = std::make_unique<FlutterDesktopEngine>();
  engine->record.properties = engine_standin::CopyProperties(*engine_properties);
  engine->record.running = true;
  engine->messenger.engine = engine.get();
  state.engines.push_back(std::move(engine));
  return state.engines.back().get();
}

bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.RequirePlatformThreadLocked("FlutterDesktopEngineDestroy");
  FlutterDesktopEngine* known = state.FindEngine(engine, "FlutterDesktopEngineDestroy");
  if (known == nullptr) {
    return false;
  }
  ++known->record.destroy_calls;
  if (known->record.handed_over) {
    state.FailLocked("FlutterDesktopEngineDestroy: the engine belongs to a view controller");
    return false;
  }
  if (!known->record.running) {
    state.FailLocked("FlutterDesktopEngineDestroy: the engine has already ended");
    return false;
  }
  State::EndEngine(known);
  return true;
}

FlutterDesktopMessengerRef FlutterDesktopEngineGetMessenger(FlutterDesktopEngineRef engine) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.RequirePlatformThreadLocked("FlutterDesktopEngineGetMessenger");
  FlutterDesktopEngine* known = state.FindRunningEngine(engine, "FlutterDesktopEngineGetMessenger");
  return known != nullptr ? &known->messenger : nullptr;
}

FlutterDesktopPluginRegistrarRef FlutterDesktopEngineGetPluginRegistrar(
    FlutterDesktopEngineRef engine, const char* plugin_name) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.RequirePlatformThreadLocked("FlutterDesktopEngineGetPluginRegistrar");
  FlutterDesktopEngine* known =
      state.FindRunningEngine(engine, "FlutterDesktopEngineGetPluginRegistrar");
  if (known == nullptr) {
    return nullptr;
  }
  if (plugin_name == nullptr) {
    state.FailLocked("FlutterDesktopEngineGetPluginRegistrar: null plug-in name");
    return nullptr;
  }
  known->record.registrar_requests.emplace_back(plugin_name);
  if (state.withheld_registrars.count(plugin_name) != 0) {
    return nullptr;
  }
  for (const auto& registrar : known->registrars) {
    if (registrar->plugin_name == plugin_name) {
      return registrar.get();
    }
  }
  known->registrars.push_back(
      std::make_unique<FlutterDesktopPluginRegistrar>(FlutterDesktopPluginRegistrar{plugin_name}));
  return known->registrars.back().get();
}

void FlutterDesktopEngineReloadSystemFonts(FlutterDesktopEngineRef engine) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.RequirePlatformThreadLocked("FlutterDesktopEngineReloadSystemFonts");
  FlutterDesktopEngine* known =
      state.FindRunningEngine(engine, "FlutterDesktopEngineReloadSystemFonts");
  if (known != nullptr) {
    ++known->record.reload_fonts_calls;
  }
}

void FlutterDesktopEngineSetNextFrameCallback(FlutterDesktopEngineRef engine,
                                              FlutterDesktopNextFrameCallback callback,
                                              void* user_data) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.RequirePlatformThreadLocked("FlutterDesktopEngineSetNextFrameCallback");
  FlutterDesktopEngine* known =
      state.FindRunningEngine(engine, "FlutterDesktopEngineSetNextFrameCallback");
  if (known != nullptr) {
    known->next_frame = callback;
    known->next_frame_user_data = user_data;
  }
}
