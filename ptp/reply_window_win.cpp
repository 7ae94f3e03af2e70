#include "ptp/reply_window_win.h"

#include <atomic>
#include <iostream>
#include <mutex>
#include <new>
#include <set>
#include <utility>

#include "ptp/reply_backlog.h"
#include "ptp/reply_delivery.h"

namespace camvey::ptp {
namespace {

// Written by the platform thread only, and never again once a window exists; workers
// read it to post.
std::atomic<HWND> reply_window{nullptr};

// The reply window's delivery, and the one record of which replies are in flight. Any
// process on the desktop can post kPtpReplyMessage to the window, so its lParam is only
// a number to look up here: a reply is taken back only when this object posted it and
// has not given it back since. Lives as long as the process.
class ReplyWindowDelivery : public ReplyDelivery {
 public:
  static ReplyWindowDelivery& Instance() {
    static ReplyWindowDelivery* const delivery = new ReplyWindowDelivery;
    return *delivery;
  }

  bool Ready() override { return EnsureReplyWindow() != nullptr; }
  bool Post(std::unique_ptr<PtpReply>* reply) override {
    return PostTo(reply_window.load(), reply);
  }

  bool PostTo(HWND window, std::unique_ptr<PtpReply>* reply) {
    // Without a window the message would go to the posting thread's own queue and be lost.
    if (window == nullptr) return false;
    const LPARAM key = reinterpret_cast<LPARAM>(reply->get());
    {
      std::lock_guard<std::mutex> lock(mutex_);
      try {
        in_flight_.insert(key);
      } catch (const std::bad_alloc&) {
        return false;
      }
    }
    if (!PostMessageW(window, kPtpReplyMessage, 0, key)) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (in_flight_.erase(key) == 1) return false;  // still the poster's
      // Another message with the same number has already taken the reply and answered
      // it: it is no longer the poster's to keep.
    }
    static_cast<void>(reply->release());  // the message owns it now
    return true;
  }

  // The reply whose number `lparam` is, when it is in flight; null otherwise.
  std::unique_ptr<PtpReply> TakeInFlight(LPARAM lparam) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (in_flight_.erase(lparam) == 0) return nullptr;
    return std::unique_ptr<PtpReply>(reinterpret_cast<PtpReply*>(lparam));
  }

 private:
  std::mutex mutex_;
  std::set<LPARAM> in_flight_;
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
    std::unique_ptr<PtpReply> reply = ReplyWindowDelivery::Instance().TakeInFlight(lparam);
    if (reply == nullptr) {
      std::cerr << "Ignoring a reply message that carries no reply in flight.\n" << std::flush;
    }
    DeliverHeldBackPtpReplies();
    if (reply != nullptr) CompletePtpReply(std::move(reply));
  } catch (...) {
    // Nothing may unwind into the message loop.
    std::cerr << "Exception in the reply window procedure.\n" << std::flush;
  }
  return 0;
}

bool PostPtpReply(HWND window, std::unique_ptr<PtpReply>* reply) {
  return ReplyWindowDelivery::Instance().PostTo(window, reply);
}

ReplyDelivery& PlatformReplyDelivery() { return ReplyWindowDelivery::Instance(); }

}  // namespace camvey::ptp
