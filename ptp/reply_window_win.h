#ifndef CAMVEY_PTP_REPLY_WINDOW_WIN_H_
#define CAMVEY_PTP_REPLY_WINDOW_WIN_H_

// The hidden window through which workers wake the platform thread on Windows: a
// message-only window of the class "CamveyPtpReply", made on first need and destroyed
// with the object that owns it. A worker that has queued its reply (reply_queue.h)
// posts kPtpReplyMessage to it:
//
//   field    value
//   wParam   0
//   lParam   0
//
// and the window's procedure drains the reply queue on the platform thread. The message
// carries nothing else: every process on the desktop can post to the window. A message
// with another wParam or lParam, or a bare one beyond the wake-ups this window's owner
// posted and has not yet seen handled, is a stranger's: it is ignored, never
// dereferenced, with the line "Ignoring a reply message that carries no reply in
// flight.".

#include <windows.h>

#include <atomic>

#include "ptp/reply_queue.h"

namespace camvey::ptp {

inline constexpr UINT kPtpReplyMessage = WM_APP + 0x51;  // 32849
inline constexpr wchar_t kReplyWindowClass[] = L"CamveyPtpReply";

// The wake-up of the service on Windows. Owns its window and the count of its wake-ups
// in flight. Made, made ready and destroyed on the platform thread.
class ReplyWindow : public ReplyWakeUp {
 public:
  // Drains `replies`, which must outlive this, at each of its own wake-ups. Makes no
  // window yet.
  explicit ReplyWindow(ReplyQueue& replies);
  // Destroys the window, if made; wake-ups still posted to it are dropped with it.
  ~ReplyWindow() override;

  // Makes the window on the first call that can; false while it cannot be made, and the
  // next call tries again.
  bool Ready() override;

  // Posts the wake-up; a lost one (no window yet, or its message queue is full) leaves
  // the reply queued for the next one or the next call. Any thread, while this lives.
  void Wake() noexcept override;

  // The window; null until Ready() has made it.
  HWND window() const { return window_.load(); }

 private:
  // Answers this window's own wake-ups by draining the queue and ignores any other
  // kPtpReplyMessage with its line; nothing is thrown out of it (an exception writes
  // "Exception in the reply window procedure."). Leaves every other message to
  // DefWindowProcW.
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  bool TakeOwnWakeUp();

  ReplyQueue& replies_;
  // Written by the platform thread only; workers read it to post.
  std::atomic<HWND> window_{nullptr};
  // Wake-ups posted to the window that its procedure has not handled yet. A bare
  // message beyond them can only be a stranger's.
  std::atomic<int> wake_ups_in_flight_{0};
};

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_REPLY_WINDOW_WIN_H_
