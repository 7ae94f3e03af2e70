// How much memory decoding asks for, counted by replacing the global allocation
// functions of this test program.

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "messaging/byte_streams.h"
#include "messaging/standard_codec_serializer.h"
#include "tests/messaging/nested_lists.h"
#include "tests/messaging/stderr_capture.h"

namespace {
std::atomic<size_t> bytes_requested{0};
}  // namespace

void* operator new(size_t size) {
  bytes_requested += size;
  if (void* block = std::malloc(size == 0 ? 1 : size)) {
    return block;
  }
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t /*size*/) noexcept { std::free(block); }

namespace flutter {
namespace {

TEST(CodecAllocationTest, NestedListsReserveLittleAheadOfTheirInput) {
  // 250 nested lists, each announcing as many elements as there are bytes after its
  // header, around 8 KiB of nulls: about 10 KiB of input and 8,000 values. Reserving
  // every announced count would ask for some 100 MiB.
  const size_t depth = 250;
  const size_t total = depth * 6 + 8192;
  const std::vector<uint8_t> bytes = NestedListsClaimingEveryByte(depth, total);

  StderrCapture capture;
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  const size_t before = bytes_requested;
  const EncodableValue value = StandardCodecSerializer::GetInstance().ReadValue(&reader);
  EXPECT_LT(bytes_requested - before, size_t{8} << 20);
}

}  // namespace
}  // namespace flutter
