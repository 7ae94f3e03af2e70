// The view's window on Windows: a real child window that paints the transcript,
// reports frames through the message loop, and runs the scripted application.

#include <shellscalingapi.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "messaging/method_call.h"
#include "messaging/standard_method_codec.h"
#include "standins/engine/scripted_application.h"
#include "standins/engine/standin_state.h"
#include "standins/engine/view_window.h"

namespace engine_standin {

namespace {

constexpr wchar_t kViewClassName[] = L"CAMVEY_ENGINE_STANDIN_VIEW";
constexpr UINT kDefaultDpi = 96;
// Private messages of the view window. Any process may post them: each handler checks
// that the application is in the state the message belongs to.
constexpr UINT kFrameMessage = WM_APP + 1;
constexpr UINT kStepMessage = WM_APP + 2;
constexpr UINT kAnswerMessage = WM_APP + 3;
constexpr UINT_PTR kWaitTimer = 1;
constexpr COLORREF kBackground = RGB(24, 36, 52);
constexpr COLORREF kBanner = RGB(38, 120, 190);
constexpr COLORREF kText = RGB(226, 232, 240);
constexpr int kMargin = 16;

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) {
    return std::string();
  }
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string converted(static_cast<size_t>(std::max<int>(size, 0)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), converted.data(),
                      size, nullptr, nullptr);
  return converted;
}

std::wstring ToWide(const std::string& text) {
  if (text.empty()) {
    return std::wstring();
  }
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring converted(static_cast<size_t>(std::max<int>(size, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), converted.data(),
                      size);
  return converted;
}

std::wstring FromEnginePath(const std::u16string& path) {
  return std::wstring(path.begin(), path.end());
}

void PrintError(const std::string& line) {
  std::fputs((line + "\n").c_str(), stderr);
  std::fflush(stderr);
}

// Where the engine looks for a path of its start record: relative paths are taken from
// the executable's folder, whatever the current directory.
std::wstring ResolveApplicationPath(const std::wstring& path) {
  const bool absolute = (path.size() >= 2 && path[1] == L':') ||
                        (!path.empty() && (path[0] == L'\\' || path[0] == L'/'));
  if (absolute) {
    return path;
  }
  std::wstring module(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
    if (length < module.size()) {
      module.resize(length);
      break;
    }
    module.resize(module.size() * 2);
  }
  return module.substr(0, module.find_last_of(L"\\/") + 1) + path;
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<std::string> ReadFile(const std::wstring& path) {
  FILE* file = nullptr;
  if (_wfopen_s(&file, path.c_str(), L"rb") != 0 || file == nullptr) {
    return std::nullopt;
  }
  std::string text;
  char buffer[4096];
  size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof(buffer), file)) > 0) {
    text.append(buffer, count);
  }
  std::fclose(file);
  return text;
}

// Checks the start record the way an engine does before it runs anything, and loads
// the script. Nothing, with a line on standard error, when the engine cannot start.
std::optional<Script> LoadApplication(const RecordedProperties& properties) {
  for (const std::u16string* required : {&properties.icu_data_path, &properties.aot_library_path}) {
    const std::wstring given = FromEnginePath(*required);
    if (!IsFile(ResolveApplicationPath(given))) {
      PrintError("Engine failed to start: cannot find " + ToUtf8(given) +
                 " next to the executable.");
      return std::nullopt;
    }
  }
  const std::wstring script_path =
      FromEnginePath(properties.assets_path) + L"\\" + FromEnginePath(kScriptFileName);
  const std::optional<std::string> text = ReadFile(ResolveApplicationPath(script_path));
  if (!text.has_value()) {
    PrintError("Engine failed to start: cannot find " + ToUtf8(script_path) +
               " next to the executable.");
    return std::nullopt;
  }
  Script script;
  std::string error;
  if (!ParseScript(*text, &script, &error)) {
    PrintError("Engine failed to start: " + ToUtf8(script_path) + ": " + error + ".");
    return std::nullopt;
  }
  return script;
}

// One view: its engine, its transcript and, outside test control, its application.
class ViewWindow {
 public:
  ViewWindow(FlutterDesktopEngine* engine, std::optional<Script> script)
      : engine_(engine), script_(std::move(script)) {}

  LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  // Prints a transcript line and shows it in the view.
  void Emit(HWND hwnd, const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
    lines_.push_back(ToWide(line));
    if (hwnd != nullptr) {
      InvalidateRect(hwnd, nullptr, FALSE);
    }
  }

 private:
  // The steps start with the engine, as an application's start-up code runs before
  // anything is drawn; the script ends, closing the window, only once a frame was drawn.
  enum class Stage { kReady, kAwaitingAnswer, kWaiting, kEndingAtFirstFrame, kDone };

  void OnFrame(HWND hwnd);
  void OnStep(HWND hwnd);
  void OnAnswer(HWND hwnd);
  void End(HWND hwnd);
  void Paint(HWND hwnd);

  FlutterDesktopEngine* engine_;
  std::optional<Script> script_;
  Stage stage_ = Stage::kReady;
  bool first_frame_drawn_ = false;
  size_t next_step_ = 0;
  MessageId pending_ = 0;
  std::vector<std::wstring> lines_;
};

// Windows that run an application; an answer from any thread wakes them.
std::mutex& ApplicationWindowsMutex() {
  static auto* const mutex = new std::mutex();
  return *mutex;
}
std::vector<HWND>& ApplicationWindows() {
  static auto* const windows = new std::vector<HWND>();
  return *windows;
}

void ViewWindow::OnFrame(HWND hwnd) {
  InvalidateRect(hwnd, nullptr, FALSE);
  FlutterDesktopNextFrameCallback callback = nullptr;
  void* user_data = nullptr;
  {
    State& state = State::Get();
    std::lock_guard<std::mutex> guard(state.mutex);
    for (const auto& known : state.engines) {
      if (known.get() == engine_ && known->record.running) {
        callback = known->next_frame;
        user_data = known->next_frame_user_data;
        known->next_frame = nullptr;
        known->next_frame_user_data = nullptr;
      }
    }
  }
  if (callback != nullptr) {
    callback(user_data);
  }
  if (script_.has_value() && !first_frame_drawn_) {
    first_frame_drawn_ = true;
    Emit(hwnd, "first frame");
    if (stage_ == Stage::kEndingAtFirstFrame) {
      End(hwnd);
    }
  }
}

void ViewWindow::End(HWND hwnd) {
  Emit(hwnd, "end of script");
  stage_ = Stage::kDone;
  HWND top_level = GetAncestor(hwnd, GA_ROOT);
  if (top_level != nullptr && top_level != hwnd) {
    PostMessageW(top_level, WM_CLOSE, 0, 0);
  }
}

void ViewWindow::OnStep(HWND hwnd) {
  if (stage_ != Stage::kReady) {
    return;
  }
  if (next_step_ == script_->steps.size()) {
    if (first_frame_drawn_) {
      End(hwnd);
    } else {
      stage_ = Stage::kEndingAtFirstFrame;
    }
    return;
  }
  const ScriptStep& step = script_->steps[next_step_++];
  if (step.kind == ScriptStep::Kind::kWait) {
    stage_ = Stage::kWaiting;
    SetTimer(hwnd, kWaitTimer, step.milliseconds, nullptr);
    return;
  }
  Emit(hwnd, CallLine(step));
  const flutter::MethodCall call(
      step.method,
      step.has_arguments ? std::make_unique<flutter::EncodableValue>(step.arguments) : nullptr);
  const std::unique_ptr<std::vector<uint8_t>> message =
      flutter::StandardMethodCodec::GetInstance().EncodeMethodCall(call);
  stage_ = Stage::kAwaitingAnswer;
  const std::optional<MessageId> id = InjectMessage(&engine_->messenger, step.channel, *message);
  if (!id.has_value()) {
    Emit(hwnd, "answer none (nothing listens on the channel)");
    stage_ = Stage::kReady;
    PostMessageW(hwnd, kStepMessage, 0, 0);
    return;
  }
  pending_ = *id;
  // An answer given during the call is taken at once; its wake-up message finds
  // nothing left to do.
  OnAnswer(hwnd);
}

void ViewWindow::OnAnswer(HWND hwnd) {
  if (stage_ != Stage::kAwaitingAnswer) {
    return;
  }
  const std::optional<Response> response = ResponseTo(pending_);
  if (!response.has_value()) {
    return;
  }
  Emit(hwnd, AnswerLine(response->bytes));
  stage_ = Stage::kReady;
  PostMessageW(hwnd, kStepMessage, 0, 0);
}

void ViewWindow::Paint(HWND hwnd) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd, &paint);
  RECT client;
  GetClientRect(hwnd, &client);
  HBRUSH background = CreateSolidBrush(kBackground);
  FillRect(dc, &client, background);
  DeleteObject(background);
  auto* font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  HGDIOBJ old_font = SelectObject(dc, font);
  TEXTMETRICW metrics;
  GetTextMetricsW(dc, &metrics);
  const int line_height = metrics.tmHeight + metrics.tmExternalLeading + 4;
  RECT banner = {client.left, client.top, client.right, client.top + line_height + 2 * kMargin};
  HBRUSH banner_brush = CreateSolidBrush(kBanner);
  FillRect(dc, &banner, banner_brush);
  DeleteObject(banner_brush);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kText);
  const std::wstring title = L"Camvey \x2014 engine stand-in: scripted application";
  TextOutW(dc, kMargin, kMargin, title.c_str(), static_cast<int>(title.size()));
  int y = banner.bottom + kMargin;
  for (const std::wstring& line : lines_) {
    TextOutW(dc, kMargin, y, line.c_str(), static_cast<int>(line.size()));
    y += line_height;
  }
  SelectObject(dc, old_font);
  EndPaint(hwnd, &paint);
}

LRESULT ViewWindow::HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kFrameMessage:
      OnFrame(hwnd);
      return 0;
    case kStepMessage:
      if (script_.has_value()) {
        OnStep(hwnd);
      }
      return 0;
    case kAnswerMessage:
      if (script_.has_value()) {
        OnAnswer(hwnd);
      }
      return 0;
    case WM_TIMER:
      if (wparam == kWaitTimer) {
        KillTimer(hwnd, kWaitTimer);
        if (stage_ == Stage::kWaiting) {
          stage_ = Stage::kReady;
          OnStep(hwnd);
        }
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT CALLBACK ViewWindowProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  // The window owns its ViewWindow from the moment OpenViewWindow attaches it.
  auto* view = reinterpret_cast<ViewWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (view == nullptr) {
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    {
      std::lock_guard<std::mutex> guard(ApplicationWindowsMutex());
      auto& windows = ApplicationWindows();
      windows.erase(std::remove(windows.begin(), windows.end(), hwnd), windows.end());
    }
    delete view;
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  return view->HandleMessage(hwnd, message, wparam, lparam);
}

HINSTANCE StandinModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ViewWindowProcedure), &module);
  return module;
}

void RegisterViewClass() {
  static const bool registered = [] {
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = &ViewWindowProcedure;
    window_class.hInstance = StandinModule();
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = kViewClassName;
    return RegisterClassW(&window_class) != 0;
  }();
  static_cast<void>(registered);
}

}  // namespace

HWND OpenViewWindow(const ViewStart& start) {
  std::optional<Script> script;
  if (start.run_application) {
    script = LoadApplication(start.properties);
    if (!script.has_value() || script->view_creation_fails) {
      return nullptr;
    }
  }
  RegisterViewClass();
  auto view = std::make_unique<ViewWindow>(start.engine, std::move(script));
  if (start.run_application) {
    view->Emit(nullptr, ArgumentsLine(start.properties.arguments));
  }
  // Made under the message-only parent until the host adopts it as its content.
  HWND window =
      CreateWindowExW(0, kViewClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                      start.width, start.height, HWND_MESSAGE, nullptr, StandinModule(), nullptr);
  if (window == nullptr) {
    PrintError("Engine failed to start: the view window could not be created.");
    return nullptr;
  }
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view.release()));
  if (start.run_application) {
    {
      std::lock_guard<std::mutex> guard(ApplicationWindowsMutex());
      ApplicationWindows().push_back(window);
    }
    // The application starts with its engine: its first step comes through the message
    // loop, after the host's set-up and before the first frame it asks for.
    PostMessageW(window, kStepMessage, 0, 0);
  }
  return window;
}

void CloseViewWindow(HWND window) {
  if (window != nullptr) {
    DestroyWindow(window);
  }
}

void RequestFrame(HWND window) {
  if (window != nullptr) {
    PostMessageW(window, kFrameMessage, 0, 0);
  }
}

UINT SystemDpiForMonitor(HMONITOR monitor) {
  UINT dpi_x = 0;
  UINT dpi_y = 0;
  const HRESULT result = GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpi_x, &dpi_y);
  if (FAILED(result) || dpi_x == 0) {
    return kDefaultDpi;
  }
  return dpi_x;
}

void NoteAnswerSent() {
  std::lock_guard<std::mutex> guard(ApplicationWindowsMutex());
  for (HWND window : ApplicationWindows()) {
    PostMessageW(window, kAnswerMessage, 0, 0);
  }
}

}  // namespace engine_standin
