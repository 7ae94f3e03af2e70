#include "ptp/reply_window_win.h"

#include <atomic>
#include <utility>

#include "ptp/reply_backlog.h"
#include "ptp/reply_delivery.h"

namespace camvey::ptp {
namespace {

// Written by the platform thread only, and never again once a window exists; workers
// read it to post.
std::atomic<HWND> reply_window{nullptr};

class ReplyWindowDelivery : public ReplyDelivery {
 public:
  bool Ready() override { return EnsureReplyWindow() != nullptr; }
  bool Post(std::unique_ptr<PtpReply>* reply) override {
    return PostPtpReply(reply_window.load(), reply);
  }
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
  std::unique_ptr<PtpReply> reply(reinterpret_cast<PtpReply*>(lparam));
  DeliverHeldBackPtpReplies();
  CompletePtpReply(std::move(reply));
  return 0;
}

bool PostPtpReply(HWND window, std::unique_ptr<PtpReply>* reply) {
  // Without a window the message would go to the posting thread's own queue and be lost.
  if (window == nullptr) return false;
  if (!PostMessageW(window, kPtpReplyMessage, 0, reinterpret_cast<LPARAM>(reply->get()))) {
    return false;
  }
  static_cast<void>(reply->release());  // the message owns it now
  return true;
}

ReplyDelivery& PlatformReplyDelivery() {
  static ReplyWindowDelivery* const delivery = new ReplyWindowDelivery;
  return *delivery;
}

}  // namespace camvey::ptp
