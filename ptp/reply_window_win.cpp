#include "ptp/reply_window_win.h"

#include <atomic>
#include <chrono>
#include <iostream>

#include "ptp/ptp_service.h"

namespace camvey::ptp {
namespace {

// Written by the platform thread only, and never again once a window exists; workers
// read it to post.
std::atomic<HWND> reply_window{nullptr};

// Wake-ups this process posted that no window procedure has handled yet. A bare message
// beyond them can only be a stranger's.
std::atomic<int> wake_ups_in_flight{0};

bool TakeOwnWakeUp() {
  int in_flight = wake_ups_in_flight.load();
  while (in_flight > 0 && !wake_ups_in_flight.compare_exchange_weak(in_flight, in_flight - 1)) {
  }
  return in_flight > 0;
}

class WindowWakeUp : public ReplyWakeUp {
 public:
  bool Ready() override { return EnsureReplyWindow() != nullptr; }
  // A lost wake-up leaves the reply queued for the next one or the next call.
  void Wake() noexcept override { static_cast<void>(WakeReplyWindow(reply_window.load())); }
};

}  // namespace

HWND EnsureReplyWindow() {
  HWND window = reply_window.load();
  if (window != nullptr) return window;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = &ReplyWindowProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = kReplyWindowClass;
  // Fails harmlessly when an earlier call registered the class but made no window.
  RegisterClassW(&window_class);
  window = CreateWindowExW(0, kReplyWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           instance, nullptr);
  reply_window.store(window);
  return window;
}

LRESULT CALLBACK ReplyWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != kPtpReplyMessage) return DefWindowProcW(window, message, wparam, lparam);
  try {
    if (wparam != 0 || lparam != 0 || !TakeOwnWakeUp()) {
      std::cerr << "Ignoring a reply message that carries no reply in flight.\n" << std::flush;
    } else {
      PtpService::Process().replies().DeliverQueued(std::chrono::milliseconds(0));
    }
  } catch (...) {
    // Nothing may unwind into the message loop.
    std::cerr << "Exception in the reply window procedure.\n" << std::flush;
  }
  return 0;
}

bool WakeReplyWindow(HWND window) {
  // Without a window the message would go to the posting thread's own queue and be lost.
  if (window == nullptr) return false;
  // Counted before the post: the platform thread may handle the message before
  // PostMessageW returns here.
  ++wake_ups_in_flight;
  if (PostMessageW(window, kPtpReplyMessage, 0, 0) != 0) return true;
  --wake_ups_in_flight;
  return false;
}

ReplyWakeUp& ReplyWindowWakeUp() {
  static WindowWakeUp* const wake_up = new WindowWakeUp;
  return *wake_up;
}

}  // namespace camvey::ptp
