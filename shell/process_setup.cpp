#include "shell/process_setup.h"

#include <io.h>
#include <objbase.h>
#include <shellapi.h>

#include <cwchar>
#include <iostream>
#include <memory>

#include "engine/engine_project.h"
#include "engine_api/flutter_desktop_api.h"
#include "shell/flutter_window.h"
#include "shell/win32_holders.h"
#include "text/wide_text.h"

namespace camvey {

namespace {

constexpr size_t kMaxConvertedUnits = 32767;
constexpr wchar_t kWindowTitle[] = L"Camvey";
constexpr LogicalPoint kWindowOrigin = {10, 10};
constexpr LogicalSize kWindowSize = {1280, 820};

int ReopenOnConsole(FILE* stream) {
  FILE* reopened = nullptr;
  return freopen_s(&reopened, "CONOUT$", "w", stream);
}

void ResyncEngineStreams() { FlutterDesktopResyncOutputStreams(); }

}  // namespace

ConsoleCalls ConsoleCalls::System() {
  return {&AttachConsole, &IsDebuggerPresent,  &AllocConsole, &ReopenOnConsole,
          &_dup2,         &ResyncEngineStreams};
}

void OpenDebugConsole(const ConsoleCalls& calls) {
  if (calls.alloc_console() == 0) {
    return;
  }
  if (calls.reopen_on_console(stdout) != 0) {
    calls.duplicate_descriptor(_fileno(stdout), 1);
  }
  if (calls.reopen_on_console(stderr) != 0) {
    // Error output then shares the console stream of standard output.
    calls.duplicate_descriptor(_fileno(stdout), 2);
  }
  std::ios::sync_with_stdio(true);
  calls.resync_engine_streams();
}

std::vector<std::string> CommandLineArguments() {
  int count = 0;
  const LocalArgumentArray arguments(CommandLineToArgvW(GetCommandLineW(), &count));
  if (arguments == nullptr) {
    return {};
  }
  std::vector<std::string> converted;
  for (int i = 1; i < count; ++i) {
    converted.push_back(ToUtf8(arguments.get()[i]));
  }
  return converted;
}

std::string ToUtf8(const wchar_t* text) {
  if (text == nullptr) {
    return std::string();
  }
  const std::u16string units(reinterpret_cast<const char16_t*>(text),
                             wcsnlen(text, kMaxConvertedUnits));
  return text::WideToUtf8(units, text::IllFormedUtf16::kReject).value_or(std::string());
}

int RunCamvey(const ConsoleCalls& calls) {
  if (calls.attach_console(ATTACH_PARENT_PROCESS) == 0 && calls.is_debugger_present() != 0) {
    OpenDebugConsole(calls);
  }
  // The result does not matter: start-up goes on in every case.
  static_cast<void>(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));

  flutter::EngineProject project(u"data");
  project.set_entrypoint_arguments(CommandLineArguments());

  FlutterWindow window(std::make_shared<WindowClass>(), project);
  if (!window.Create(kWindowTitle, kWindowOrigin, kWindowSize)) {
    return 1;
  }
  window.SetQuitWhenClosed(true);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) != 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  CoUninitialize();
  return 0;
}

}  // namespace camvey
