#ifndef CAMVEY_MESSAGING_ENGINE_METHOD_RESULT_H_
#define CAMVEY_MESSAGING_ENGINE_METHOD_RESULT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "messaging/binary_messenger.h"
#include "messaging/encodable_value.h"
#include "messaging/method_codec.h"
#include "messaging/method_result.h"

namespace flutter {

// The reply of one incoming message, used at most once. A second use prints the
// duplicate-result line and sends nothing; destruction before any use prints the
// leak warning and leaves the engine without an answer. Not synchronized: one
// thread at a time.
class OneTimeReply {
 public:
  // `reply` must not be empty.
  explicit OneTimeReply(BinaryReply&& reply);
  ~OneTimeReply();

  OneTimeReply(const OneTimeReply&) = delete;
  OneTimeReply& operator=(const OneTimeReply&) = delete;

  // Sends `bytes` (null or empty: an empty answer) and lets go of the reply, with it the
  // messenger reference the reply holds.
  void SendOnce(const std::vector<uint8_t>* bytes);

 private:
  BinaryReply reply_;
};

// The MethodResult of a call that came from the engine: answers are encoded with the
// channel's codec and sent through the message's reply, once. May be answered and
// destroyed on any thread, but by one thread at a time.
class EngineMethodResult : public MethodResult {
 public:
  // `codec` is borrowed and must outlive this result.
  EngineMethodResult(BinaryReply&& reply, const MethodCodec* codec);
  ~EngineMethodResult() override;

  using MethodResult::Success;
  void Success(const EncodableValue* result) override;
  void Error(const std::string& error_code, const std::string& error_message,
             const EncodableValue* details) override;
  // Answers with zero bytes, the engine's form of "not implemented".
  void NotImplemented() override;

 private:
  OneTimeReply reply_;
  const MethodCodec* codec_;
};

}  // namespace flutter

#endif  // CAMVEY_MESSAGING_ENGINE_METHOD_RESULT_H_
