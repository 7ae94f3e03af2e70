#ifndef CAMVEY_MESSAGING_BINARY_MESSENGER_H_
#define CAMVEY_MESSAGING_BINARY_MESSENGER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace flutter {

// Answers one message. `reply` may be null when `reply_size` is 0; the bytes are
// borrowed for the call only. May be empty.
using BinaryReply = std::function<void(const uint8_t* reply, size_t reply_size)>;

// Handles the messages of one channel. The bytes are borrowed for the call only; the
// handler takes over `reply` and calls it once, now or later. May be empty.
using BinaryMessageHandler =
    std::function<void(const uint8_t* message, size_t message_size, BinaryReply reply)>;

// Byte messages on named channels between the host and the engine. Used on the
// platform thread only.
class BinaryMessenger {
 public:
  BinaryMessenger() = default;
  virtual ~BinaryMessenger() = default;

  BinaryMessenger(const BinaryMessenger&) = delete;
  BinaryMessenger& operator=(const BinaryMessenger&) = delete;

  // Sends `message` on `channel`. When `reply` is set it runs at most once with the
  // engine's answer; it never runs when the engine refuses the message.
  virtual void Send(const std::string& channel, const uint8_t* message, size_t message_size,
                    BinaryReply reply) const = 0;

  // Installs `handler` for the messages on `channel`, replacing any earlier one; an
  // empty handler removes it.
  virtual void SetMessageHandler(const std::string& channel, BinaryMessageHandler handler) = 0;
};

}  // namespace flutter

#endif  // CAMVEY_MESSAGING_BINARY_MESSENGER_H_
