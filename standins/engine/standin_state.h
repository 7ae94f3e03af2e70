#ifndef CAMVEY_STANDINS_ENGINE_STANDIN_STATE_H_
#define CAMVEY_STANDINS_ENGINE_STANDIN_STATE_H_

// The stand-in's objects and records, shared by its source files; not for tests (they use
// engine_standin.h). Everything is guarded by State::mutex except each messenger's
// EngineLock, which guards itself. Callbacks into the host are made with no lock held.

#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "engine/flutter_desktop_api.h"
#include "standins/engine/engine_standin.h"

namespace engine_standin {

// The messenger lock the host takes around a response: a real lock that blocks other
// threads, and that tells misuse apart instead of invoking undefined behaviour.
class EngineLock {
 public:
  void Lock();
  // Releases the lock. False when the calling thread did not hold it (the lock is then
  // released anyway if another thread held it, so that the test goes on).
  bool Unlock();
  bool HeldByCallingThread();

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool held_ = false;
  std::thread::id owner_;
};

struct PendingReply {
  FlutterDesktopBinaryReply reply = nullptr;
  void* user_data = nullptr;
};

}  // namespace engine_standin

struct FlutterDesktopMessenger {
  FlutterDesktopEngine* engine = nullptr;
  engine_standin::EngineLock lock;
  bool available = true;
  bool send_with_reply_refused = false;
  int references = 0;
  std::map<std::string, engine_standin::ChannelCallback> callbacks;
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

// Only its address matters: it names one incoming message.
struct FlutterDesktopMessageResponseHandle {};

namespace engine_standin {

struct MessageRecord {
  FlutterDesktopMessenger* messenger = nullptr;
  std::unique_ptr<FlutterDesktopMessageResponseHandle> handle;
  std::optional<Response> response;
};

struct State {
  static State& Get();

  // Callers hold `mutex`.
  void Fail(std::string description) { failures.push_back(std::move(description)); }
  // The engine or messenger behind a handle the stand-in handed out; null, with a
  // failure naming `function`, for anything else.
  FlutterDesktopEngine* FindEngine(FlutterDesktopEngineRef engine, const char* function);
  FlutterDesktopMessenger* FindMessenger(FlutterDesktopMessengerRef messenger,
                                         const char* function);
  // The engine stops: its messenger becomes unavailable and its next frame never comes.
  static void EndEngine(FlutterDesktopEngine* engine);

  std::mutex mutex;
  std::vector<std::string> failures;
  CallCounts counts;
  std::vector<std::unique_ptr<FlutterDesktopEngine>> engines;
  bool engine_creation_fails = false;
  std::set<std::string> withheld_registrars;
  std::vector<PluginRegistration> plugin_registrations;
  MessageId next_message_id = 1;
  std::unordered_map<MessageId, MessageRecord> messages;
  std::unordered_map<const FlutterDesktopMessageResponseHandle*, MessageId> response_handles;
};

// The view side's share of Reset, from the file that implements the view functions.
// Called with State::mutex held.
void ResetViews();

}  // namespace engine_standin

#endif  // CAMVEY_STANDINS_ENGINE_STANDIN_STATE_H_
