#ifndef CAMVEY_MESSAGING_STANDARD_METHOD_CODEC_H_
#define CAMVEY_MESSAGING_STANDARD_METHOD_CODEC_H_

// Method calls and their answers in the standard method format. Every value is a
// complete value of the standard message format; its alignment counts from the first
// byte of the message, envelope byte included.
//
//   message          bytes
//   method call      method name (string value), arguments (null when none)
//   success answer   0, result (null when none)
//   error answer     1, code (string value), message (string value, null when empty),
//                    details (null when none)
//
// A not-implemented answer is an empty message and never passes through this codec.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "messaging/encodable_value.h"
#include "messaging/method_call.h"
#include "messaging/method_codec.h"
#include "messaging/method_result.h"
#include "messaging/standard_codec_serializer.h"

namespace flutter {

class StandardMethodCodec : public MethodCodec {
 public:
  // The one codec over `serializer` (the shared serializer when null), created on first
  // request and valid until the process ends. Safe to call from any thread.
  static const StandardMethodCodec& GetInstance(
      const StandardCodecSerializer* serializer = nullptr);

  ~StandardMethodCodec() override;

  // The name must be a string value; when it is not, writes "Invalid method call; method
  // name is not a string." and returns null. A missing arguments value reads as null.
  std::unique_ptr<MethodCall> DecodeMethodCall(const uint8_t* message,
                                               size_t message_size) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeMethodCall(
      const MethodCall& method_call) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeSuccessEnvelope(
      const EncodableValue* result) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeErrorEnvelope(
      const std::string& error_code, const std::string& error_message,
      const EncodableValue* details) const override;
  // A null result or details value is passed on as absent. In an error envelope whose code
  // is not a string, or whose message is neither null nor a string, std::bad_variant_access
  // propagates to the caller and `result` is not called.
  bool DecodeResponseEnvelope(const uint8_t* response, size_t response_size,
                              MethodResult* result) const override;

 private:
  // `serializer` is borrowed and outlives the codec.
  explicit StandardMethodCodec(const StandardCodecSerializer* serializer);

  const StandardCodecSerializer* serializer_;
};

}  // namespace flutter

#endif  // CAMVEY_MESSAGING_STANDARD_METHOD_CODEC_H_
