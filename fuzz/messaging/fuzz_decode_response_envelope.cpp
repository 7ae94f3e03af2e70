// Decodes arbitrary bytes as an answer envelope and encodes whatever answer arrives back.
// An error envelope whose code is not a string, or whose message is neither null nor a
// string, raises std::bad_variant_access by contract; any other exception is a failure
// and escapes to libFuzzer. Diagnostics are silenced: bad input is expected here.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>
#include <variant>

#include "messaging/encodable_value.h"
#include "messaging/method_result.h"
#include "messaging/standard_method_codec.h"

namespace {

class EchoResult : public flutter::MethodResult {
 public:
  explicit EchoResult(const flutter::StandardMethodCodec& codec) : codec_(codec) {}

  void Success(const flutter::EncodableValue* result) override {
    codec_.EncodeSuccessEnvelope(result);
  }
  void Error(const std::string& error_code, const std::string& error_message,
             const flutter::EncodableValue* details) override {
    codec_.EncodeErrorEnvelope(error_code, error_message, details);
  }
  void NotImplemented() override { std::abort(); }

 private:
  const flutter::StandardMethodCodec& codec_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  std::cerr.rdbuf(nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::GetInstance();
  EchoResult result(codec);
  try {
    codec.DecodeResponseEnvelope(data, size, &result);
  } catch (const std::bad_variant_access&) {
    // A malformed error envelope: the documented outcome.
  }
  return 0;
}
