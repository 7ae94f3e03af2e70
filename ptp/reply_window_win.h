#ifndef CAMVEY_PTP_REPLY_WINDOW_WIN_H_
#define CAMVEY_PTP_REPLY_WINDOW_WIN_H_

// The hidden window through which workers wake the platform thread on Windows: a
// message-only window of the class "CamveyPtpReply", made on first need and kept until
// the process ends. A worker that has queued its reply (reply_queue.h) posts
// kPtpReplyMessage to it:
//
//   field    value
//   wParam   0
//   lParam   0
//
// and the window's procedure drains the service's reply queue on the platform thread.
// The message carries nothing else: every process on the desktop can post to the
// window. A message with another wParam or lParam, or a bare one beyond the wake-ups
// this process posted and has not yet seen handled, is a stranger's: it is ignored,
// never dereferenced, with the line "Ignoring a reply message that carries no reply in
// flight.".

#include <windows.h>

#include "ptp/reply_queue.h"

namespace camvey::ptp {

inline constexpr UINT kPtpReplyMessage = WM_APP + 0x51;  // 32849
inline constexpr wchar_t kReplyWindowClass[] = L"CamveyPtpReply";

// The reply window, made on the first call that can make it; null while it cannot be
// made, and the next call tries again. Platform thread.
HWND EnsureReplyWindow();

// Drains the service's reply queue for a wake-up this process posted, and ignores any
// other kPtpReplyMessage with its line; nothing is thrown out of it (an exception
// writes "Exception in the reply window procedure."). Leaves every other message to
// DefWindowProcW.
LRESULT CALLBACK ReplyWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Posts the wake-up to `window`; false when the post fails (no window, or its message
// queue is full). Any thread.
bool WakeReplyWindow(HWND window);

// The wake-up of the service's parts on Windows: ready once the reply window exists, and
// wakes that window. Lives as long as the process.
ReplyWakeUp& ReplyWindowWakeUp();

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_REPLY_WINDOW_WIN_H_
