/* The baseline of the start-up figure: a bare Win32 program that does what any program
 * of the engine does before its window, and no more: it loads the engine library beside
 * it and starts COM in a single-threaded apartment, as camvey.exe does. Its window then
 * goes the way camvey.exe's does, without the host's engine start, plug-ins or channel:
 * made hidden, shown at its first frame, which arrives through the message loop as the
 * engine's does, where it prints "first frame" and closes. Built by startup_bench.sh. */
#include <objbase.h>
#include <stdio.h>
#include <windows.h>

#define FRAME_MESSAGE (WM_APP + 1)

static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case FRAME_MESSAGE:
      ShowWindow(window, SW_SHOWNORMAL);
      fputs("first frame\n", stdout);
      fflush(stdout);
      PostMessageW(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      FillRect(dc, &client, (HBRUSH)GetStockObject(DKGRAY_BRUSH));
      EndPaint(window, &paint);
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
  HMODULE engine;
  (void)previous;
  (void)command_line;
  (void)show;
  engine = LoadLibraryW(L"camvey_engine_standin.dll");
  if (engine == NULL) {
    fputs("cannot load camvey_engine_standin.dll\n", stderr);
    return 1;
  }
  /* As in camvey.exe, start-up goes on whatever COM answers. */
  (void)CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
  window_class.lpfnWndProc = Procedure;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(NULL, IDC_ARROW);
  window_class.lpszClassName = L"BARE_WINDOW";
  RegisterClassW(&window_class);
  window = CreateWindowExW(0, L"BARE_WINDOW", L"Bare", WS_OVERLAPPEDWINDOW, 10, 10, 1280, 820,
                           NULL, NULL, instance, NULL);
  PostMessageW(window, FRAME_MESSAGE, 0, 0);
  while (GetMessageW(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  CoUninitialize();
  FreeLibrary(engine);
  return 0;
}
