#include "ptp/reply_window_win.h"

#include <chrono>
#include <iostream>

namespace camvey::ptp {

ReplyWindow::ReplyWindow(ReplyQueue& replies) : replies_(replies) {}

ReplyWindow::~ReplyWindow() {
  const HWND window = window_.exchange(nullptr);
  if (window == nullptr) return;
  DestroyWindow(window);
  // Fails harmlessly while another reply window of the process still lives.
  UnregisterClassW(kReplyWindowClass, GetModuleHandleW(nullptr));
}

bool ReplyWindow::Ready() {
  if (window_.load() != nullptr) return true;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = &ReplyWindow::Procedure;
  window_class.hInstance = instance;
  window_class.lpszClassName = kReplyWindowClass;
  // Fails harmlessly when the class is registered already (by another reply window, or
  // by an earlier call that made no window).
  RegisterClassW(&window_class);
  window_.store(CreateWindowExW(0, kReplyWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                instance, this));
  return window_.load() != nullptr;
}

void ReplyWindow::Wake() noexcept {
  const HWND window = window_.load();
  // Without a window the message would go to the posting thread's own queue and be lost.
  if (window == nullptr) return;
  // Counted before the post: the platform thread may handle the message before
  // PostMessageW returns here.
  ++wake_ups_in_flight_;
  if (PostMessageW(window, kPtpReplyMessage, 0, 0) == 0) --wake_ups_in_flight_;
}

LRESULT CALLBACK ReplyWindow::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    // The owner, from CreateWindowExW in Ready(); a window of the class made by anyone
    // else has none.
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(
        window, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(create != nullptr ? create->lpCreateParams : nullptr));
  }
  if (message != kPtpReplyMessage) return DefWindowProcW(window, message, wparam, lparam);
  try {
    auto* owner = reinterpret_cast<ReplyWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (owner == nullptr || wparam != 0 || lparam != 0 || !owner->TakeOwnWakeUp()) {
      std::cerr << "Ignoring a reply message that carries no reply in flight.\n" << std::flush;
    } else {
      owner->replies_.DeliverQueued(std::chrono::milliseconds(0));
    }
  } catch (...) {
    // Nothing may unwind into the message loop.
    std::cerr << "Exception in the reply window procedure.\n" << std::flush;
  }
  return 0;
}

bool ReplyWindow::TakeOwnWakeUp() {
  int in_flight = wake_ups_in_flight_.load();
  while (in_flight > 0 && !wake_ups_in_flight_.compare_exchange_weak(in_flight, in_flight - 1)) {
  }
  return in_flight > 0;
}

}  // namespace camvey::ptp
