#ifndef CAMVEY_PTP_REPLY_WINDOW_WIN_H_
#define CAMVEY_PTP_REPLY_WINDOW_WIN_H_

// The hidden reply window through which workers hand their replies to the platform
// thread on Windows: a message-only window of the class "CamveyPtpReply", made on first
// need and kept until the process ends. A worker posts kPtpReplyMessage to it:
//
//   field    value
//   wParam   0
//   lParam   the PtpReply, owned by the message from the post on
//
// and the window's procedure answers and destroys the reply on the platform thread.
// Every process on the desktop can post to the window, so the procedure honours a
// kPtpReplyMessage only when its lParam is a reply that PostPtpReply posted and that has
// not been answered since; any other is ignored, never dereferenced, with the line
// "Ignoring a reply message that carries no reply in flight.".

#include <windows.h>

#include <memory>

#include "ptp/ptp_reply.h"

namespace camvey::ptp {

inline constexpr UINT kPtpReplyMessage = WM_APP + 0x51;  // 32849
inline constexpr wchar_t kReplyWindowClass[] = L"CamveyPtpReply";

// The reply window, made on the first call that can make it; null while it cannot be
// made, and the next call tries again. Platform thread.
HWND EnsureReplyWindow();

// Answers and destroys the PtpReply of a kPtpReplyMessage that carries a reply in
// flight, after the replies held back before it, even when answering throws; nothing is
// thrown out of it (an exception writes "Exception in the reply window procedure.").
// Leaves every other message to DefWindowProcW.
LRESULT CALLBACK ReplyWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Posts `*reply` to `window`, records it as in flight, and leaves `*reply` null; when
// the post fails, returns false and leaves `*reply` as it was. Any thread.
bool PostPtpReply(HWND window, std::unique_ptr<PtpReply>* reply);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_REPLY_WINDOW_WIN_H_
