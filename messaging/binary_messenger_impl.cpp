#include "messaging/binary_messenger_impl.h"

#include <iostream>
#include <memory>
#include <string>
#include <utility>

namespace flutter {

namespace {

// Sends one response under the messenger's lock, unless the engine is gone or the
// handle is spent; a spent handle prints the duplicate-response line when `report_spent`.
// Clears the handle once it is used.
void SendResponse(FlutterDesktopMessengerRef messenger,
                  const FlutterDesktopMessageResponseHandle** handle, const uint8_t* data,
                  size_t data_size, bool report_spent) {
  FlutterDesktopMessengerRef locked = FlutterDesktopMessengerLock(messenger);
  if (!FlutterDesktopMessengerIsAvailable(messenger)) {
    // The engine is gone; nobody waits for this answer any more.
  } else if (*handle == nullptr) {
    if (report_spent) {
      std::cerr << "Error: Response can be set only once. Ignoring duplicate response.\n"
                << std::flush;
    }
  } else {
    FlutterDesktopMessengerSendResponse(messenger, *handle, data, data_size);
    *handle = nullptr;
  }
  if (locked != nullptr) {
    FlutterDesktopMessengerUnlock(locked);
  }
}

// One incoming message's pending answer, shared by every copy of its BinaryReply. It
// holds one engine reference to the messenger for as long as any copy lives; the
// response handle is read and cleared only under the messenger's lock.
class PendingResponse {
 public:
  PendingResponse(FlutterDesktopMessengerRef messenger,
                  const FlutterDesktopMessageResponseHandle* handle)
      : messenger_(FlutterDesktopMessengerAddRef(messenger)), handle_(handle) {}
  ~PendingResponse() { FlutterDesktopMessengerRelease(messenger_); }

  PendingResponse(const PendingResponse&) = delete;
  PendingResponse& operator=(const PendingResponse&) = delete;

  void Send(const uint8_t* data, size_t data_size) {
    SendResponse(messenger_, &handle_, data, data_size, /*report_spent=*/true);
  }
  // An empty answer if none has been sent yet; nothing, and no line, otherwise.
  void SendEmptyIfUnanswered() { SendResponse(messenger_, &handle_, nullptr, 0, false); }

 private:
  FlutterDesktopMessengerRef messenger_;
  const FlutterDesktopMessageResponseHandle* handle_;
};

// Writes "<text><detail>." as one flushed line. Runs while an exception is handled,
// perhaps for want of memory, so it never throws; a line it cannot build is lost.
void ReportException(const char* text, const char* detail) noexcept {
  try {
    std::cerr << (std::string(text) + detail + ".\n") << std::flush;
  } catch (...) {
  }
}

}  // namespace

BinaryMessengerImpl::BinaryMessengerImpl(FlutterDesktopMessengerRef messenger)
    : messenger_(messenger) {}

BinaryMessengerImpl::~BinaryMessengerImpl() = default;

void BinaryMessengerImpl::Send(const std::string& channel, const uint8_t* message,
                               size_t message_size, BinaryReply reply) const {
  if (messenger_ == nullptr) {
    return;  // no engine to take the message: as if it refused it
  }
  if (!reply) {
    FlutterDesktopMessengerSend(messenger_, channel.c_str(), message, message_size);
    return;
  }
  auto record = std::make_unique<BinaryReply>(std::move(reply));
  if (FlutterDesktopMessengerSendWithReply(messenger_, channel.c_str(), message, message_size,
                                           &ForwardOutgoingReply, record.get())) {
    // Accepted: the engine owns the record now and frees it through ForwardOutgoingReply,
    // which may already have run.
    static_cast<void>(record.release());
  }
}

void BinaryMessengerImpl::SetMessageHandler(const std::string& channel,
                                            BinaryMessageHandler handler) {
  if (messenger_ == nullptr) {
    return;  // no engine, so no message will ever come
  }
  if (!handler) {
    handlers_.erase(channel);
    FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(), nullptr, nullptr);
    return;
  }
  HandlerSlot& stored = handlers_[channel];
  stored = std::make_shared<const BinaryMessageHandler>(std::move(handler));
  FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(), &ForwardIncomingMessage, &stored);
}

void BinaryMessengerImpl::ForwardIncomingMessage(FlutterDesktopMessengerRef messenger,
                                                 const FlutterDesktopMessage* message,
                                                 void* user_data) {
  std::shared_ptr<PendingResponse> pending;
  try {
    pending = std::make_shared<PendingResponse>(messenger, message->response_handle);
    BinaryReply reply = [pending](const uint8_t* data, size_t data_size) {
      pending->Send(data, data_size);
    };
    // Held here, so that a handler that replaces or removes its own channel's handler
    // finishes in a closure that is still alive; the change applies from the next message.
    const HandlerSlot handler = *static_cast<const HandlerSlot*>(user_data);
    (*handler)(message->message, message->message_size, std::move(reply));
  } catch (...) {
    // Nothing may unwind into the engine library, and the application must not wait
    // forever for this message: it gets an empty answer unless it has had one.
    ReportException("Exception in the message handler of channel ",
                    message->channel != nullptr ? message->channel : "");
    if (pending != nullptr) {
      pending->SendEmptyIfUnanswered();
    } else {
      const FlutterDesktopMessageResponseHandle* handle = message->response_handle;
      SendResponse(messenger, &handle, nullptr, 0, /*report_spent=*/false);
    }
  }
}

void BinaryMessengerImpl::ForwardOutgoingReply(const uint8_t* data, size_t data_size,
                                               void* user_data) {
  std::unique_ptr<BinaryReply> record(static_cast<BinaryReply*>(user_data));
  try {
    (*record)(data, data_size);
  } catch (...) {
    // Nothing may unwind into the engine library; the reply has had its one call.
    ReportException("Exception in the reply handler of a sent message", "");
  }
}

}  // namespace flutter
