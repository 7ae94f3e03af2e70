// The program's entry. Its parameters are not used: the command line is read again
// from the process, and the window shows itself at the engine's first frame.

#include <windows.h>

#include "shell/process_setup.h"

int APIENTRY wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, wchar_t* /*command_line*/,
                      int /*show_command*/) {
  return camvey::RunCamvey();
}
