#include "messaging/binary_messenger_impl.h"

#include <iostream>
#include <memory>
#include <utility>

namespace flutter {

namespace {

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
    FlutterDesktopMessengerRef locked = FlutterDesktopMessengerLock(messenger_);
    if (!FlutterDesktopMessengerIsAvailable(messenger_)) {
      // The engine is gone; nobody waits for this answer any more.
    } else if (handle_ == nullptr) {
      std::cerr << "Error: Response can be set only once. Ignoring duplicate response.\n"
                << std::flush;
    } else {
      FlutterDesktopMessengerSendResponse(messenger_, handle_, data, data_size);
      handle_ = nullptr;
    }
    if (locked != nullptr) {
      FlutterDesktopMessengerUnlock(locked);
    }
  }

 private:
  FlutterDesktopMessengerRef messenger_;
  const FlutterDesktopMessageResponseHandle* handle_;
};

}  // namespace

BinaryMessengerImpl::BinaryMessengerImpl(FlutterDesktopMessengerRef messenger)
    : messenger_(messenger) {}

BinaryMessengerImpl::~BinaryMessengerImpl() = default;

void BinaryMessengerImpl::Send(const std::string& channel, const uint8_t* message,
                               size_t message_size, BinaryReply reply) const {
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
  if (!handler) {
    handlers_.erase(channel);
    FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(), nullptr, nullptr);
    return;
  }
  BinaryMessageHandler& stored = handlers_[channel];
  stored = std::move(handler);
  FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(), &ForwardIncomingMessage, &stored);
}

void BinaryMessengerImpl::ForwardIncomingMessage(FlutterDesktopMessengerRef messenger,
                                                 const FlutterDesktopMessage* message,
                                                 void* user_data) {
  auto pending = std::make_shared<PendingResponse>(messenger, message->response_handle);
  BinaryReply reply = [pending = std::move(pending)](const uint8_t* data, size_t data_size) {
    pending->Send(data, data_size);
  };
  const auto& handler = *static_cast<const BinaryMessageHandler*>(user_data);
  handler(message->message, message->message_size, std::move(reply));
}

void BinaryMessengerImpl::ForwardOutgoingReply(const uint8_t* data, size_t data_size,
                                               void* user_data) {
  std::unique_ptr<BinaryReply> record(static_cast<BinaryReply*>(user_data));
  (*record)(data, data_size);
}

}  // namespace flutter
