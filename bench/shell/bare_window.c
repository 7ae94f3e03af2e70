/* The baseline of the start-up figure: a bare Win32 program that opens one window,
 * prints "first frame" at its first paint, and closes it, with none of the host's
 * engine, plug-ins or channel. Built by startup_bench.sh. */
#include <stdio.h>
#include <windows.h>

static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  static int painted = 0;
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      FillRect(dc, &client, (HBRUSH)GetStockObject(DKGRAY_BRUSH));
      EndPaint(window, &paint);
      if (!painted) {
        painted = 1;
        fputs("first frame\n", stdout);
        fflush(stdout);
        PostMessageW(window, WM_CLOSE, 0, 0);
      }
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, wchar_t* command_line, int show) {
  WNDCLASSW window_class = {0};
  MSG message;
  HWND window;
  (void)previous;
  (void)command_line;
  (void)show;
  window_class.lpfnWndProc = Procedure;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(NULL, IDC_ARROW);
  window_class.lpszClassName = L"BARE_WINDOW";
  RegisterClassW(&window_class);
  window = CreateWindowExW(0, L"BARE_WINDOW", L"Bare", WS_OVERLAPPEDWINDOW, 10, 10, 1280, 820,
                           NULL, NULL, instance, NULL);
  ShowWindow(window, SW_SHOWNORMAL);
  while (GetMessageW(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
