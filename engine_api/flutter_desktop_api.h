#ifndef CAMVEY_ENGINE_API_FLUTTER_DESKTOP_API_H_
#define CAMVEY_ENGINE_API_FLUTTER_DESKTOP_API_H_

// The engine library's C interface as this host uses it, and the registration functions
// of the six external plug-in libraries. The host reaches the engine through nothing
// else. Every call comes from the platform thread, except the messenger's reference
// count and lock functions, which a pending reply may use from any thread.
//
// Away from Windows the window and message types below are stand-ins of the same size,
// so that the wrappers and their tests build and run on any platform.

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
// Paths are UTF-16 wchar_t strings on Windows.
typedef wchar_t FlutterDesktopPathChar;
#else
typedef struct FlutterPortableWindow* HWND;
typedef struct FlutterPortableMonitor* HMONITOR;
typedef unsigned int UINT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
// Paths are UTF-16 everywhere; away from Windows the code unit is char16_t.
typedef char16_t FlutterDesktopPathChar;
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Opaque handles. Their objects belong to the engine library.
typedef struct FlutterDesktopEngine* FlutterDesktopEngineRef;
typedef struct FlutterDesktopViewController* FlutterDesktopViewControllerRef;
typedef struct FlutterDesktopView* FlutterDesktopViewRef;
typedef struct FlutterDesktopMessenger* FlutterDesktopMessengerRef;
typedef struct FlutterDesktopPluginRegistrar* FlutterDesktopPluginRegistrarRef;
typedef struct FlutterDesktopMessageResponseHandle FlutterDesktopMessageResponseHandle;

// The start record of an engine. Every pointer is borrowed for the duration of
// FlutterDesktopEngineCreate only: the library copies what it keeps.
typedef struct {
  const FlutterDesktopPathChar* assets_path;
  const FlutterDesktopPathChar* icu_data_path;
  const FlutterDesktopPathChar* aot_library_path;
  // Never null; an empty string selects the application's default entry point.
  const char* dart_entrypoint;
  int32_t dart_entrypoint_argc;
  // dart_entrypoint_argc UTF-8 strings, or null when the count is 0.
  const char** dart_entrypoint_argv;
  // Engine options this host passes through unchanged (all zero).
  int32_t options[4];
  uint8_t option_flag;
} FlutterDesktopEngineProperties;

#ifdef __cplusplus
// The library reads the record by these offsets: a field moved, resized or added here
// would hand it the wrong value without a word.
static_assert(offsetof(FlutterDesktopEngineProperties, assets_path) == 0, "record layout");
static_assert(offsetof(FlutterDesktopEngineProperties, icu_data_path) == sizeof(void*),
              "record layout");
static_assert(offsetof(FlutterDesktopEngineProperties, aot_library_path) == 2 * sizeof(void*),
              "record layout");
static_assert(offsetof(FlutterDesktopEngineProperties, dart_entrypoint) == 3 * sizeof(void*),
              "record layout");
static_assert(offsetof(FlutterDesktopEngineProperties, dart_entrypoint_argc) == 4 * sizeof(void*),
              "record layout");
static_assert(offsetof(FlutterDesktopEngineProperties, dart_entrypoint_argv) == 5 * sizeof(void*),
              "record layout");
static_assert(offsetof(FlutterDesktopEngineProperties, options) == 6 * sizeof(void*),
              "record layout");
static_assert(offsetof(FlutterDesktopEngineProperties, option_flag) ==
                  6 * sizeof(void*) + 4 * sizeof(int32_t),
              "record layout");
// Nothing after option_flag but the padding to pointer alignment.
static_assert(sizeof(FlutterDesktopEngineProperties) ==
                  (6 * sizeof(void*) + 4 * sizeof(int32_t) + sizeof(void*)) / sizeof(void*) *
                      sizeof(void*),
              "record layout");
#endif

// One incoming message. Valid only during the message callback; the response handle
// stays valid until FlutterDesktopMessengerSendResponse uses it up.
typedef struct {
  size_t struct_size;
  const char* channel;
  const uint8_t* message;
  size_t message_size;
  const FlutterDesktopMessageResponseHandle* response_handle;
} FlutterDesktopMessage;

#ifdef __cplusplus
// The host reads the library's record by these offsets.
static_assert(offsetof(FlutterDesktopMessage, channel) == sizeof(size_t), "record layout");
static_assert(offsetof(FlutterDesktopMessage, message) == 2 * sizeof(void*), "record layout");
static_assert(offsetof(FlutterDesktopMessage, message_size) == 3 * sizeof(void*), "record layout");
static_assert(offsetof(FlutterDesktopMessage, response_handle) == 4 * sizeof(void*),
              "record layout");
static_assert(sizeof(FlutterDesktopMessage) == 5 * sizeof(void*), "record layout");
#endif

typedef void (*FlutterDesktopMessageCallback)(FlutterDesktopMessengerRef messenger,
                                              const FlutterDesktopMessage* message,
                                              void* user_data);
typedef void (*FlutterDesktopBinaryReply)(const uint8_t* data, size_t data_size, void* user_data);
typedef void (*FlutterDesktopNextFrameCallback)(void* user_data);

// Engine. The handle returned by FlutterDesktopEngineCreate is null on failure.
FlutterDesktopEngineRef FlutterDesktopEngineCreate(
    const FlutterDesktopEngineProperties* engine_properties);
// Ends an engine that was never handed to a view controller.
bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine);
FlutterDesktopMessengerRef FlutterDesktopEngineGetMessenger(FlutterDesktopEngineRef engine);
FlutterDesktopPluginRegistrarRef FlutterDesktopEngineGetPluginRegistrar(
    FlutterDesktopEngineRef engine, const char* plugin_name);
void FlutterDesktopEngineReloadSystemFonts(FlutterDesktopEngineRef engine);
// Calls `callback(user_data)` once, after the next frame; a later call replaces it.
void FlutterDesktopEngineSetNextFrameCallback(FlutterDesktopEngineRef engine,
                                              FlutterDesktopNextFrameCallback callback,
                                              void* user_data);

// View controller. Creation takes over the engine whatever its outcome; null on failure.
// Destroying the controller ends its view and its engine.
FlutterDesktopViewControllerRef FlutterDesktopViewControllerCreate(int width, int height,
                                                                   FlutterDesktopEngineRef engine);
void FlutterDesktopViewControllerDestroy(FlutterDesktopViewControllerRef controller);
FlutterDesktopViewRef FlutterDesktopViewControllerGetView(
    FlutterDesktopViewControllerRef controller);
void FlutterDesktopViewControllerForceRedraw(FlutterDesktopViewControllerRef controller);
// True, with `*result` set, when the engine handled the top-level window's message.
bool FlutterDesktopViewControllerHandleTopLevelWindowProc(
    FlutterDesktopViewControllerRef controller, HWND hwnd, UINT message, WPARAM wparam,
    LPARAM lparam, LRESULT* result);
HWND FlutterDesktopViewGetHWND(FlutterDesktopViewRef view);

// Messenger. Channel names are NUL-terminated UTF-8.
bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel,
                                 const uint8_t* message, size_t message_size);
// False: the message was refused and `reply` will never run (the caller still owns
// `user_data`). True: `reply` runs once with the answer.
bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, size_t message_size,
                                          FlutterDesktopBinaryReply reply, void* user_data);
// A null callback with null user data removes the channel's callback.
void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data);
// Uses up `handle`: each incoming message is answered at most once.
void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle,
                                         const uint8_t* data, size_t data_length);
// The messenger stays valid while references are held, even after its engine is gone.
FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger);
void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger);
// Blocks until the messenger's lock is held by the calling thread; returns the messenger.
FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger);
void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger);
// False once the engine is gone; ask while holding the lock.
bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger);

UINT FlutterDesktopGetDpiForMonitor(HMONITOR monitor);
// Makes the engine's output follow standard streams redirected after it was loaded.
void FlutterDesktopResyncOutputStreams(void);

// Registration functions of the external plug-in libraries. `registrar` may be null.
void MediaKitLibsWindowsVideoPluginCApiRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);
void MediaKitVideoPluginCApiRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);
void Sqlite3FlutterLibsPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void UrlLauncherWindowsRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void WindowManagerPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // CAMVEY_ENGINE_API_FLUTTER_DESKTOP_API_H_
