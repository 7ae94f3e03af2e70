// Reads values from arbitrary bytes until the input is used up, and writes each value
// read back out. Diagnostics are silenced: bad input is expected here.

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <vector>

#include "messaging/byte_streams.h"
#include "messaging/encodable_value.h"
#include "messaging/standard_codec_serializer.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  std::cerr.rdbuf(nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const flutter::StandardCodecSerializer& serializer =
      flutter::StandardCodecSerializer::GetInstance();
  flutter::ByteBufferStreamReader reader(data, size);
  while (reader.BytesRemaining() > 0) {
    const flutter::EncodableValue value = serializer.ReadValue(&reader);
    std::vector<uint8_t> bytes;
    flutter::ByteBufferStreamWriter writer(&bytes);
    serializer.WriteValue(value, &writer);
    flutter::ByteBufferStreamReader again(bytes.data(), bytes.size());
    serializer.ReadValue(&again);
  }
  return 0;
}
