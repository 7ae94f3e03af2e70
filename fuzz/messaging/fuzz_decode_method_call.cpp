// Decodes arbitrary bytes as a method call and encodes any call found back.
// Diagnostics are silenced: bad input is expected here.

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <memory>

#include "messaging/method_call.h"
#include "messaging/standard_method_codec.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  std::cerr.rdbuf(nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::GetInstance();
  const std::unique_ptr<flutter::MethodCall> call = codec.DecodeMethodCall(data, size);
  if (call != nullptr) {
    codec.EncodeMethodCall(*call);
  }
  return 0;
}
