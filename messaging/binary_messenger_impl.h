#ifndef CAMVEY_MESSAGING_BINARY_MESSENGER_IMPL_H_
#define CAMVEY_MESSAGING_BINARY_MESSENGER_IMPL_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "engine_api/flutter_desktop_api.h"
#include "messaging/binary_messenger.h"

namespace flutter {

// The messenger over the engine library's messenger handle.
//
// Every incoming message gets a BinaryReply that holds a counted reference to the
// engine's messenger (FlutterDesktopMessengerAddRef on arrival, Release when the last
// copy of the reply dies) and the message's response handle, shared by all copies of
// that reply. Answering takes the engine's messenger lock, checks that the engine is
// still there, sends once and unlocks, so a reply may be called, copied and destroyed
// on any thread. Everything else runs on the platform thread.
//
// No exception leaves the engine's callbacks. A handler that throws gets one line,
// "Exception in the message handler of channel <name>.", and its message an empty
// answer unless it was answered; a reply function that throws gets the line
// "Exception in the reply handler of a sent message.".
class BinaryMessengerImpl : public BinaryMessenger {
 public:
  // `messenger` is borrowed: the engine owns it and outlives this object. Null for an
  // engine that did not start: then nothing is sent (a reply never runs) and no handler
  // is kept.
  explicit BinaryMessengerImpl(FlutterDesktopMessengerRef messenger);
  // Destroys the handlers. Callbacks already set on the engine stay set.
  ~BinaryMessengerImpl() override;

  void Send(const std::string& channel, const uint8_t* message, size_t message_size,
            BinaryReply reply) const override;
  void SetMessageHandler(const std::string& channel, BinaryMessageHandler handler) override;

  // The engine's message callback; `user_data` is the address of a stored handler slot.
  static void ForwardIncomingMessage(FlutterDesktopMessengerRef messenger,
                                     const FlutterDesktopMessage* message, void* user_data);
  // The engine's reply callback; `user_data` is a heap BinaryReply that this frees.
  static void ForwardOutgoingReply(const uint8_t* data, size_t data_size, void* user_data);

 private:
  // A handler shared with the messages it is running for, so that replacing it while
  // it runs leaves the running call its closure.
  using HandlerSlot = std::shared_ptr<const BinaryMessageHandler>;

  FlutterDesktopMessengerRef messenger_;
  // std::map keeps each slot at a fixed address until its entry is erased; the engine
  // holds that address as user data.
  std::map<std::string, HandlerSlot> handlers_;
};

}  // namespace flutter

#endif  // CAMVEY_MESSAGING_BINARY_MESSENGER_IMPL_H_
