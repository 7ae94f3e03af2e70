// Posts the reply window's message from a process of its own, as any program on the
// desktop can:
//
//   camvey_reply_poster <window> <lParam>...
//
// with every number in decimal. Exit code 0 when every post was accepted, 1 otherwise,
// 2 on a malformed command line.

#include <windows.h>

#include <cstdlib>

namespace {

constexpr UINT kReplyMessage = WM_APP + 0x51;

bool ParseNumber(const char* text, unsigned long long* number) {
  char* end = nullptr;
  *number = std::strtoull(text, &end, 10);
  return end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  unsigned long long window = 0;
  if (argc < 3 || !ParseNumber(argv[1], &window)) return 2;
  int exit_code = 0;
  for (int i = 2; i < argc; ++i) {
    unsigned long long lparam = 0;
    if (!ParseNumber(argv[i], &lparam)) return 2;
    if (!PostMessageW(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(window)), kReplyMessage, 0,
                      static_cast<LPARAM>(lparam))) {
      exit_code = 1;
    }
  }
  return exit_code;
}
