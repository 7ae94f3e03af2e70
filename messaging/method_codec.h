#ifndef CAMVEY_MESSAGING_METHOD_CODEC_H_
#define CAMVEY_MESSAGING_METHOD_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "messaging/encodable_value.h"
#include "messaging/method_call.h"
#include "messaging/method_result.h"

namespace flutter {

// Turns method calls and their answers into channel messages and back. Encoders
// return a freshly allocated byte array owned by the caller.
class MethodCodec {
 public:
  MethodCodec() = default;
  virtual ~MethodCodec() = default;

  MethodCodec(const MethodCodec&) = delete;
  MethodCodec& operator=(const MethodCodec&) = delete;

  // The call in `message`, or null when the bytes are not a method call.
  virtual std::unique_ptr<MethodCall> DecodeMethodCall(const uint8_t* message,
                                                       size_t message_size) const = 0;
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeMethodCall(
      const MethodCall& method_call) const = 0;
  // `result` may be null: a success without a value.
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeSuccessEnvelope(
      const EncodableValue* result) const = 0;
  // `details` may be null; an empty message is written as null.
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeErrorEnvelope(
      const std::string& error_code, const std::string& error_message,
      const EncodableValue* details) const = 0;
  // Calls Success or Error on `result` and returns true when the bytes are a success or
  // error envelope; returns false, calling nothing, for any other envelope flag.
  virtual bool DecodeResponseEnvelope(const uint8_t* response, size_t response_size,
                                      MethodResult* result) const = 0;
};

}  // namespace flutter

#endif  // CAMVEY_MESSAGING_METHOD_CODEC_H_
