#ifndef CAMVEY_STANDINS_ENGINE_STANDIN_STATE_H_
#define CAMVEY_STANDINS_ENGINE_STANDIN_STATE_H_

// The stand-in's objects and records, shared by its source files; not for tests (they use
// engine_standin.h). One mutex, State::mutex, guards everything, a message's answer
// included, except the atomics (references, lock, availability, call counts), which
// the calls around a reply read and change from any thread without it. Callbacks into
// the host are made with no mutex held.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "engine_api/flutter_desktop_api.h"
#include "standins/engine/engine_standin.h"

namespace engine_standin {

// The messenger lock the host takes around a response. It excludes other threads like
// a mutex (waiting threads yield until it is free), may be released by any thread
// without undefined behaviour, and knows its holder so that misuse can be told apart.
class EngineLock {
 public:
  void Lock();
  // Releases the lock. False when the calling thread did not hold it; a lock that
  // another thread held is released all the same, so that the test goes on.
  bool Unlock();
  bool HeldByCallingThread() const;

 private:
  std::atomic<bool> held_{false};
  std::atomic<std::thread::id> holder_{std::thread::id()};
};

struct PendingReply {
  FlutterDesktopBinaryReply reply = nullptr;
  void* user_data = nullptr;
};

// The life of one incoming message's response handle.
enum class ResponseState { kFree, kPending, kAnswered };

}  // namespace engine_standin

struct FlutterDesktopMessenger {
  // Tells the stand-in's messengers apart from anything else passed as one.
  static constexpr uint32_t kMagic = 0x4d534752;

  uint32_t magic = kMagic;
  FlutterDesktopEngine* engine = nullptr;
  engine_standin::EngineLock lock;
  std::atomic<bool> available{true};
  // The messenger lives while its engine runs or the host holds references to it; a
  // real library frees it after that.
  std::atomic<bool> engine_running{true};
  std::atomic<int> references{0};
  // Guarded by State::mutex.
  bool send_with_reply_refused = false;
  // Looked up for every delivered message: hashed rather than ordered.
  std::unordered_map<std::string, engine_standin::ChannelCallback> callbacks;
  std::map<std::string, int> set_callback_calls;
  std::vector<engine_standin::SentMessage> sent;
  std::map<size_t, engine_standin::PendingReply> pending_replies;  // by index into `sent`
};

struct FlutterDesktopPluginRegistrar {
  std::string plugin_name;
};

struct FlutterDesktopEngine {
  engine_standin::EngineRecord record;
  FlutterDesktopMessenger messenger;
  std::vector<std::unique_ptr<FlutterDesktopPluginRegistrar>> registrars;
  FlutterDesktopNextFrameCallback next_frame = nullptr;
  void* next_frame_user_data = nullptr;
};

// One incoming message; the engine's response handle is its address. Slots are reused
// only after ExchangeMessage retires them, with a new generation. Guarded by
// State::mutex.
struct FlutterDesktopMessageResponseHandle {
  FlutterDesktopMessenger* messenger = nullptr;
  uint32_t generation = 0;
  // kPending -> kAnswered by whichever thread answers; kFree once retired.
  engine_standin::ResponseState state = engine_standin::ResponseState::kFree;
  engine_standin::Response response;
};

namespace engine_standin {

struct State {
  static State& Get() {
    static State* const state = new State();
    return *state;
  }

  // Records misuse; takes `mutex`.
  void Fail(std::string description);
  // The same, for callers that hold `mutex`.
  void FailLocked(std::string description) { failures.push_back(std::move(description)); }

  // Whether the calling thread is the platform thread: the thread of the last Reset or,
  // outside test control, the first thread that called the interface.
  bool OnPlatformThread();
  // Records a call of `function` from any other thread. The Locked form is for callers
  // that hold `mutex`.
  void RequirePlatformThread(const char* function);
  void RequirePlatformThreadLocked(const char* function);

  // The engine behind a handle the stand-in handed out, running or not; null, with a
  // failure naming `function`, for anything else. Callers hold `mutex`.
  FlutterDesktopEngine* FindEngine(FlutterDesktopEngineRef engine, const char* function);
  // The same, and a failure for an engine that has ended (destroyed, or ended with its
  // view controller or with a view controller that could not be made).
  FlutterDesktopEngine* FindRunningEngine(FlutterDesktopEngineRef engine, const char* function);
  // The messenger behind a handle; null, with a failure naming `function`, for null or
  // for a pointer that is not a stand-in messenger. Takes `mutex` only to record that.
  FlutterDesktopMessenger* CheckMessenger(FlutterDesktopMessengerRef messenger,
                                          const char* function);
  // The same, and a failure for a messenger that is gone: its engine ended and the host
  // holds no reference to it any more.
  FlutterDesktopMessenger* CheckLiveMessenger(FlutterDesktopMessengerRef messenger,
                                              const char* function);
  // The engine stops: its messenger becomes unavailable and its next frame never comes.
  static void EndEngine(FlutterDesktopEngine* engine);

  std::mutex mutex;
  // Set by Reset: a test drives the stand-in, so no application runs.
  bool under_test_control = false;
  std::atomic<std::thread::id> platform_thread{std::thread::id()};
  std::vector<std::string> failures;
  std::atomic<int> add_refs{0};
  std::atomic<int> releases{0};
  std::atomic<int> locks{0};
  std::atomic<int> unlocks{0};
  std::vector<std::unique_ptr<FlutterDesktopEngine>> engines;
  bool engine_creation_fails = false;
  std::set<std::string> withheld_registrars;
  std::vector<PluginRegistration> plugin_registrations;
  // Message slots; a MessageId is the generation above the slot index. A deque, so
  // that a handle keeps its address while slots are added.
  std::deque<FlutterDesktopMessageResponseHandle> messages;
  std::vector<uint32_t> free_message_slots;
};

// The view side's share of Reset, from the file that implements the view functions.
// Called with State::mutex held.
void ResetViews();

}  // namespace engine_standin

#endif  // CAMVEY_STANDINS_ENGINE_STANDIN_STATE_H_
