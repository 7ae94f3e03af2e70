#include "standins/engine/standin_state.h"

#include <string>
#include <utility>

namespace engine_standin {

void EngineLock::Lock() {
  while (held_.exchange(true, std::memory_order_acquire)) {
    std::this_thread::yield();
  }
  holder_.store(std::this_thread::get_id(), std::memory_order_relaxed);
}

bool EngineLock::Unlock() {
  const bool held_here = HeldByCallingThread();
  holder_.store(std::thread::id(), std::memory_order_relaxed);
  held_.store(false, std::memory_order_release);
  return held_here;
}

bool EngineLock::HeldByCallingThread() const {
  return held_.load(std::memory_order_acquire) &&
         holder_.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

void State::Fail(std::string description) {
  std::lock_guard<std::mutex> guard(mutex);
  FailLocked(std::move(description));
}

bool State::OnPlatformThread() {
  const std::thread::id caller = std::this_thread::get_id();
  std::thread::id platform = platform_thread.load();
  if (platform == std::thread::id() && platform_thread.compare_exchange_strong(platform, caller)) {
    return true;
  }
  return platform == caller;
}

void State::RequirePlatformThread(const char* function) {
  if (!OnPlatformThread()) {
    Fail(std::string(function) + ": called off the platform thread");
  }
}

void State::RequirePlatformThreadLocked(const char* function) {
  if (!OnPlatformThread()) {
    FailLocked(std::string(function) + ": called off the platform thread");
  }
}

FlutterDesktopEngine* State::FindEngine(FlutterDesktopEngineRef engine, const char* function) {
  if (engine == nullptr) {
    FailLocked(std::string(function) + ": null engine handle");
    return nullptr;
  }
  for (const auto& known : engines) {
    if (known.get() == engine) {
      return known.get();
    }
  }
  FailLocked(std::string(function) + ": not an engine handle");
  return nullptr;
}

FlutterDesktopEngine* State::FindRunningEngine(FlutterDesktopEngineRef engine,
                                               const char* function) {
  FlutterDesktopEngine* known = FindEngine(engine, function);
  if (known != nullptr && !known->record.running) {
    FailLocked(std::string(function) + ": the engine has ended");
    return nullptr;
  }
  return known;
}

FlutterDesktopMessenger* State::CheckMessenger(FlutterDesktopMessengerRef messenger,
                                               const char* function) {
  if (messenger == nullptr) {
    Fail(std::string(function) + ": null messenger handle");
    return nullptr;
  }
  if (messenger->magic != FlutterDesktopMessenger::kMagic) {
    Fail(std::string(function) + ": not a messenger handle");
    return nullptr;
  }
  return messenger;
}

FlutterDesktopMessenger* State::CheckLiveMessenger(FlutterDesktopMessengerRef messenger,
                                                   const char* function) {
  FlutterDesktopMessenger* known = CheckMessenger(messenger, function);
  if (known != nullptr && !known->engine_running && known->references <= 0) {
    Fail(std::string(function) +
         ": the messenger is gone (its engine ended and no reference is held)");
    return nullptr;
  }
  return known;
}

void State::EndEngine(FlutterDesktopEngine* engine) {
  engine->record.running = false;
  engine->messenger.available = false;
  engine->messenger.engine_running = false;
  engine->next_frame = nullptr;
  engine->next_frame_user_data = nullptr;
}

void Reset() {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.under_test_control = true;
  state.platform_thread = std::this_thread::get_id();
  state.failures.clear();
  state.add_refs = 0;
  state.releases = 0;
  state.locks = 0;
  state.unlocks = 0;
  state.messages.clear();
  state.free_message_slots.clear();
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
  CallCounts counts;
  counts.add_refs = state.add_refs;
  counts.releases = state.releases;
  counts.locks = state.locks;
  counts.unlocks = state.unlocks;
  return counts;
}

}  // namespace engine_standin
