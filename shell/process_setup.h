#ifndef CAMVEY_SHELL_PROCESS_SETUP_H_
#define CAMVEY_SHELL_PROCESS_SETUP_H_

// The process around the window: its console, its command line and its run from
// start-up to exit code.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace camvey {

// The console and stream calls of start-up, the system's by default. A console cannot
// be attached or allocated at will under every system, so tests replace them to see
// which are made.
struct ConsoleCalls {
  BOOL(WINAPI* attach_console)(DWORD process_id);
  BOOL(WINAPI* is_debugger_present)();
  BOOL(WINAPI* alloc_console)();
  // Reopens `stream` on the console ("CONOUT$", for writing); zero on success.
  int (*reopen_on_console)(FILE* stream);
  // Makes descriptor `target` a duplicate of `source`.
  int (*duplicate_descriptor)(int source, int target);
  // Lets the engine library's own output follow the redirected streams.
  void (*resync_engine_streams)();

  static ConsoleCalls System();
};

// Allocates a console and sends standard output and standard error to it. Nothing
// happens when no console can be allocated.
void OpenDebugConsole(const ConsoleCalls& calls = ConsoleCalls::System());

// The process's arguments after the program name, split by the system's rules and
// converted to UTF-8, in order. An argument that is not valid UTF-16 becomes an empty
// string in its place; a command line that cannot be split gives no arguments.
std::vector<std::string> CommandLineArguments();

// UTF-8 for at most 32767 UTF-16 units of `text`; empty for null, for empty text and
// for text that is not valid UTF-16.
std::string ToUtf8(const wchar_t* text);

// The whole run on the calling (main) thread: console, COM apartment, the project for
// "data" with the command-line arguments, the window "Camvey", the message loop. 0 after
// the window was closed, 1 when it could not be created.
int RunCamvey(const ConsoleCalls& calls = ConsoleCalls::System());

}  // namespace camvey

#endif  // CAMVEY_SHELL_PROCESS_SETUP_H_
