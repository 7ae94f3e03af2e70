#include "messaging/byte_streams.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/messaging/stderr_capture.h"

namespace flutter {
namespace {

const std::string kInvalidRead = "Invalid read in StandardCodecByteStreamReader\n";

TEST(ByteStreamsTest, ShortReadsReportOnceAndConsumeNothing) {
  const uint8_t bytes[] = {0x11, 0x22, 0x33};
  ByteBufferStreamReader reader(bytes, sizeof(bytes));
  StderrCapture capture;

  uint8_t target[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  reader.ReadBytes(target, 4);
  EXPECT_EQ(target[0], 0xEE) << "a short read leaves the destination untouched";
  EXPECT_EQ(reader.BytesRemaining(), 3u);
  EXPECT_EQ(reader.ReadInPlace(4), nullptr) << "in place, a short read only says so";
  EXPECT_EQ(reader.BytesRemaining(), 3u);

  EXPECT_EQ(reader.ReadInPlace(1), bytes) << "in place, the reader's own bytes";
  reader.ReadBytes(target, 2);
  EXPECT_EQ(target[1], 0x33);
  EXPECT_EQ(reader.ReadByte(), 0);
  EXPECT_EQ(reader.BytesRemaining(), 0u);
  EXPECT_EQ(capture.Flushes(), (std::vector<std::string>{kInvalidRead, kInvalidRead}));
}

TEST(ByteStreamsTest, AlignmentCountsFromTheStartAndMayPassTheEnd) {
  const uint8_t bytes[] = {1, 2, 3, 4, 5, 6};
  ByteBufferStreamReader reader(bytes, sizeof(bytes));
  reader.ReadAlignment(4);
  EXPECT_EQ(reader.ReadByte(), 1) << "position 0 is aligned";
  reader.ReadAlignment(4);
  EXPECT_EQ(reader.ReadByte(), 5);
  reader.ReadAlignment(8);
  EXPECT_EQ(reader.BytesRemaining(), 0u);

  StderrCapture capture;
  uint8_t unused = 0;
  reader.ReadBytes(&unused, 0);
  EXPECT_EQ(capture.Flushes(), std::vector<std::string>{kInvalidRead})
      << "past the end even an empty read is short";
}

TEST(ByteStreamsTest, WriterAppendsAndAlignsFromTheStartOfTheArray) {
  std::vector<uint8_t> buffer = {0xAA};
  ByteBufferStreamWriter writer(&buffer);
  writer.WriteAlignment(4);
  writer.WriteByte(0xBB);
  writer.WriteBytes(nullptr, 0);
  writer.WriteAlignment(2);
  const uint8_t tail[] = {1, 2};
  writer.WriteBytes(tail, 2);
  writer.WriteAlignment(2);
  EXPECT_EQ(buffer, (std::vector<uint8_t>{0xAA, 0, 0, 0, 0xBB, 0, 1, 2}));
}

}  // namespace
}  // namespace flutter
