#include "standins/engine/standin_state.h"

#include <string>

namespace engine_standin {

void EngineLock::Lock() {
  std::unique_lock<std::mutex> guard(mutex_);
  released_.wait(guard, [this] { return !held_; });
  held_ = true;
  owner_ = std::this_thread::get_id();
}

bool EngineLock::Unlock() {
  std::lock_guard<std::mutex> guard(mutex_);
  const bool held_here = held_ && owner_ == std::this_thread::get_id();
  held_ = false;
  owner_ = std::thread::id();
  released_.notify_one();
  return held_here;
}

bool EngineLock::HeldByCallingThread() {
  std::lock_guard<std::mutex> guard(mutex_);
  return held_ && owner_ == std::this_thread::get_id();
}

State& State::Get() {
  static State* const state = new State();
  return *state;
}

FlutterDesktopEngine* State::FindEngine(FlutterDesktopEngineRef engine, const char* function) {
  for (const auto& known : engines) {
    if (known.get() == engine) {
      return known.get();
    }
  }
  Fail(std::string(function) + ": not an engine handle");
  return nullptr;
}

FlutterDesktopMessenger* State::FindMessenger(FlutterDesktopMessengerRef messenger,
                                              const char* function) {
  for (const auto& known : engines) {
    if (&known->messenger == messenger) {
      return &known->messenger;
    }
  }
  Fail(std::string(function) + ": not a messenger handle");
  return nullptr;
}

void State::EndEngine(FlutterDesktopEngine* engine) {
  engine->record.running = false;
  engine->messenger.available = false;
  engine->next_frame = nullptr;
  engine->next_frame_user_data = nullptr;
}

void Reset() {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.failures.clear();
  state.counts = CallCounts();
  state.messages.clear();
  state.response_handles.clear();
  state.next_message_id = 1;
  state.engines.clear();
  state.engine_creation_fails = false;
  state.withheld_registrars.clear();
  state.plugin_registrations.clear();
  ResetViews();
}

std::vector<std::string> Failures() {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  return state.failures;
}

CallCounts Counts() {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  return state.counts;
}

}  // namespace engine_standin
