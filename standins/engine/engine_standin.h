#ifndef CAMVEY_STANDINS_ENGINE_ENGINE_STANDIN_H_
#define CAMVEY_STANDINS_ENGINE_ENGINE_STANDIN_H_

// Control of the engine library stand-in, for tests and benchmarks. The stand-in
// implements every function of engine_api/flutter_desktop_api.h as a recording fake: it
// keeps every object it hands out until Reset(), so that what the real library would
// crash on is recorded in Failures() instead:
// - a handle it never handed out, or null, anywhere;
// - an engine that has ended (destroyed, or ended with its view controller or with one
//   that could not be made), a destroyed view controller or its view, a messenger whose
//   engine ended and whose last reference was released;
// - a call from a thread other than the platform thread, except the messenger's lock,
//   reference count and availability, and a response sent under the messenger's lock;
// - a response handle used twice, an unlock without the lock, more releases than
//   references, an engine destroyed that a view controller owns.
// All functions here are thread-safe.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine_api/flutter_desktop_api.h"

namespace engine_standin {

// Forgets every object and record and zeroes every count and switch. Handles from
// before are invalid afterwards. Call it between tests, with no other thread inside
// the stand-in, on the thread that owns the views' windows: it becomes the platform
// thread. (Outside test control the platform thread is the first one to call the
// interface.) The first call puts the stand-in under test control for the rest of the
// process: from then on an engine runs no scripted application and does not look for
// the application's files.
void Reset();

// Misuse of the interface seen since Reset, one description each.
std::vector<std::string> Failures();

// Calls seen since Reset. A test ends balanced when add_refs == releases and
// locks == unlocks.
struct CallCounts {
  int add_refs = 0;
  int releases = 0;
  int locks = 0;
  int unlocks = 0;
};
CallCounts Counts();

// --- Engines ---

// The start record an engine was created with, deep-copied.
struct RecordedProperties {
  std::u16string assets_path;
  std::u16string icu_data_path;
  std::u16string aot_library_path;
  bool entrypoint_is_null = false;
  std::string entrypoint;
  int32_t argument_count = 0;
  bool argument_array_is_null = false;
  std::vector<std::string> arguments;
  int32_t options[4] = {0, 0, 0, 0};
  uint8_t option_flag = 0;
};

struct EngineRecord {
  RecordedProperties properties;
  int destroy_calls = 0;     // FlutterDesktopEngineDestroy
  bool handed_over = false;  // taken over by FlutterDesktopViewControllerCreate
  bool running = false;      // false once destroyed or ended with its view controller
  int reload_fonts_calls = 0;
  std::vector<std::string> registrar_requests;  // plug-in names, in order
};

// Engines created since Reset, oldest first.
std::vector<FlutterDesktopEngineRef> Engines();
EngineRecord Engine(FlutterDesktopEngineRef engine);
// The engine's messenger handle, whether or not the engine still runs.
FlutterDesktopMessengerRef MessengerOf(FlutterDesktopEngineRef engine);
// While set, FlutterDesktopEngineCreate records the properties and returns null.
void SetEngineCreationFails(bool fails);
// FlutterDesktopEngineGetPluginRegistrar returns null for `plugin_name` from now on.
void WithholdRegistrar(const std::string& plugin_name);
// The plug-in name a registrar was handed out for.
std::string RegistrarName(FlutterDesktopPluginRegistrarRef registrar);

// Runs the engine's next-frame callback, as after a frame, on the calling thread; the
// callback is used up. False when none was set. (On Windows a frame asked for with
// FlutterDesktopViewControllerForceRedraw also runs it, from the message loop.)
bool FireNextFrame(FlutterDesktopEngineRef engine);

// --- Plug-in libraries ---

struct PluginRegistration {
  std::string function;  // the registration function's name
  FlutterDesktopPluginRegistrarRef registrar;
};
// Calls of the six registration functions, in order.
std::vector<PluginRegistration> PluginRegistrations();

// --- Messenger ---

struct ChannelCallback {
  FlutterDesktopMessageCallback callback = nullptr;
  void* user_data = nullptr;
};
// The callback set on `channel`, if any.
std::optional<ChannelCallback> CallbackOn(FlutterDesktopMessengerRef messenger,
                                          const std::string& channel);
// How often FlutterDesktopMessengerSetCallback was called for `channel`, removals
// included.
int SetCallbackCalls(FlutterDesktopMessengerRef messenger, const std::string& channel);

using MessageId = uint64_t;

// Delivers `message` on `channel` to its callback as the engine would, on the calling
// thread. Nothing (and no id) when the channel has no callback or the engine is gone.
std::optional<MessageId> InjectMessage(FlutterDesktopMessengerRef messenger,
                                       const std::string& channel,
                                       const std::vector<uint8_t>& message);

struct Response {
  std::vector<uint8_t> bytes;
  bool data_was_null = false;
  bool sent_under_lock = false;  // the sending thread held the messenger's lock
};
// The answer to an injected message, once it has come.
std::optional<Response> ResponseTo(MessageId id);

// InjectMessage and, when the answer came during the call, that answer in `*response`
// (its capacity reused). The message's record is then retired and its slot reused, so
// that long benchmark loops neither grow the stand-in nor allocate; its response handle
// must not be used again. False when no answer came.
bool ExchangeMessage(FlutterDesktopMessengerRef messenger, const std::string& channel,
                     const std::vector<uint8_t>& message, std::vector<uint8_t>* response);

struct SentMessage {
  std::string channel;
  std::vector<uint8_t> bytes;
  bool with_reply = false;
  bool accepted = false;
};
// Messages the host sent, in order.
std::vector<SentMessage> SentMessages(FlutterDesktopMessengerRef messenger);
// Answers the `index`-th sent message (it must have been accepted with a reply) on the
// calling thread. False when there is no such pending reply.
bool DeliverReply(FlutterDesktopMessengerRef messenger, size_t index,
                  const std::vector<uint8_t>& reply);
// While set, FlutterDesktopMessengerSendWithReply refuses every message.
void SetSendWithReplyRefused(FlutterDesktopMessengerRef messenger, bool refused);
// Marks the messenger's engine as gone (false) or back (true).
void SetAvailable(FlutterDesktopMessengerRef messenger, bool available);

// --- View controllers and views ---

struct WindowMessage {
  HWND hwnd;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

struct ViewControllerRecord {
  int width = 0;
  int height = 0;
  FlutterDesktopEngineRef engine = nullptr;
  bool destroyed = false;
  int redraws = 0;
  std::vector<WindowMessage> window_messages;
};

// View controllers created since Reset, oldest first (failed creations not included).
std::vector<FlutterDesktopViewControllerRef> ViewControllers();
ViewControllerRecord ViewController(FlutterDesktopViewControllerRef controller);
// While set, FlutterDesktopViewControllerCreate takes the engine, ends it, and returns null.
void SetViewControllerCreationFails(bool fails);
// From now on the engine handles `message` of the top-level window with `result`.
void SetWindowMessageHandled(UINT message, LRESULT result);
// What FlutterDesktopGetDpiForMonitor answers for `monitor` from now on. For a monitor
// without a DPI set it answers the monitor's own DPI on Windows and 96 elsewhere.
void SetMonitorDpi(HMONITOR monitor, UINT dpi);
int ResyncOutputStreamsCalls();

}  // namespace engine_standin

#endif  // CAMVEY_STANDINS_ENGINE_ENGINE_STANDIN_H_
