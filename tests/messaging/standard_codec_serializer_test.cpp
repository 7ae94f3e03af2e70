#include "messaging/standard_codec_serializer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <any>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "messaging/byte_streams.h"
#include "tests/messaging/nested_lists.h"
#include "tests/messaging/piece_reader.h"
#include "tests/messaging/stderr_capture.h"

namespace flutter {
namespace {

const std::string kInvalidRead = "Invalid read in StandardCodecByteStreamReader\n";

using Bytes = std::vector<uint8_t>;

Bytes Concat(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

Bytes Encode(const EncodableValue& value,
             const StandardCodecSerializer& serializer = StandardCodecSerializer::GetInstance()) {
  Bytes bytes;
  ByteBufferStreamWriter writer(&bytes);
  serializer.WriteValue(value, &writer);
  return bytes;
}

// Decodes from a heap block that ends where the input ends, so that a read past the end
// is caught by the address sanitizer. The input starts `offset` bytes into the block,
// which is aligned for every number: a nonzero offset leaves the message's numbers
// misaligned in memory. `remaining` receives the bytes left unread.
EncodableValue Decode(const Bytes& bytes, size_t* remaining = nullptr, size_t offset = 0) {
  auto exact = std::make_unique<uint8_t[]>(offset + bytes.size());
  std::copy(bytes.begin(), bytes.end(), exact.get() + offset);
  ByteBufferStreamReader reader(exact.get() + offset, bytes.size());
  EncodableValue value = StandardCodecSerializer::GetInstance().ReadValue(&reader);
  if (remaining != nullptr) {
    *remaining = reader.BytesRemaining();
  }
  return value;
}

bool Equivalent(const EncodableValue& a, const EncodableValue& b) { return !(a < b) && !(b < a); }

Bytes StringOf(size_t size) { return Bytes(size, 'x'); }

struct GoldenCase {
  const char* name;
  EncodableValue value;
  Bytes bytes;
};

std::vector<GoldenCase> GoldenCases() {
  const Bytes zeros6(6, 0);
  return {
      {"null", EncodableValue(), {0x00}},
      {"true", EncodableValue(true), {0x01}},
      {"false", EncodableValue(false), {0x02}},
      {"int32 5", EncodableValue(int32_t{5}), {0x03, 5, 0, 0, 0}},
      {"int64 -1", EncodableValue(int64_t{-1}), Concat({0x04}, Bytes(8, 0xFF))},
      {"double 1.0", EncodableValue(1.0),
       Concat({0x06}, Concat(Bytes(7, 0), {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}))},
      {"string abc", EncodableValue("abc"), {0x07, 3, 'a', 'b', 'c'}},
      {"empty string", EncodableValue(""), {0x07, 0}},
      {"string of 300", EncodableValue(std::string(300, 'x')),
       Concat({0x07, 0xFE, 0x2C, 0x01}, StringOf(300))},
      {"string of 65536", EncodableValue(std::string(65536, 'x')),
       Concat({0x07, 0xFF, 0x00, 0x00, 0x01, 0x00}, StringOf(65536))},
      {"byte list 1 2", EncodableValue(Bytes{1, 2}), {0x08, 2, 1, 2}},
      {"int32 list 1", EncodableValue(std::vector<int32_t>{1}), {0x09, 1, 0, 0, 1, 0, 0, 0}},
      {"int64 list -2", EncodableValue(std::vector<int64_t>{-2}),
       Concat({0x0A, 1}, Concat(zeros6, Concat({0xFE}, Bytes(7, 0xFF))))},
      {"double list 1.0", EncodableValue(std::vector<double>{1.0}),
       Concat({0x0B, 1}, Concat(zeros6, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}))},
      {"empty int32 list, aligned all the same",
       EncodableValue(std::vector<int32_t>{}),
       {0x09, 0, 0, 0}},
      {"empty double list, aligned all the same", EncodableValue(std::vector<double>{}),
       Concat({0x0B, 0}, zeros6)},
      {"empty byte list, never aligned", EncodableValue(Bytes{}), {0x08, 0}},
      {"true, empty int32 list, 7",
       EncodableValue(EncodableList{EncodableValue(true), EncodableValue(std::vector<int32_t>{}),
                                    EncodableValue(7)}),
       {0x0C, 3, 0x01, 0x09, 0, 0, 0, 0, 0x03, 7, 0, 0, 0}},
      {"float list 1.0",
       EncodableValue(std::vector<float>{1.0f}),
       {0x0E, 1, 0, 0, 0x00, 0x00, 0x80, 0x3F}},
      {"list true null",
       EncodableValue(EncodableList{EncodableValue(true), EncodableValue()}),
       {0x0C, 2, 0x01, 0x00}},
      {"map a to 1",
       EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue(1)}}),
       {0x0D, 1, 0x07, 1, 'a', 0x03, 1, 0, 0, 0}},
      {"map keys written ascending",
       EncodableValue(EncodableMap{{EncodableValue("b"), EncodableValue()},
                                   {EncodableValue("a"), EncodableValue()}}),
       {0x0D, 2, 0x07, 1, 'a', 0x00, 0x07, 1, 'b', 0x00}},
      {"int32 key before string key",
       EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue()},
                                   {EncodableValue(7), EncodableValue()}}),
       {0x0D, 2, 0x03, 7, 0, 0, 0, 0x00, 0x07, 1, 'a', 0x00}},
      {"double aligned inside a list", EncodableValue(EncodableList{EncodableValue(1.0)}),
       Concat({0x0C, 1, 0x06}, Concat(Bytes(5, 0), {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}))},
  };
}

TEST(StandardCodecSerializerTest, GoldenBytesBothWays) {
  for (const GoldenCase& c : GoldenCases()) {
    StderrCapture capture;
    EXPECT_EQ(Encode(c.value), c.bytes) << c.name;
    for (size_t offset : {size_t{0}, size_t{1}}) {
      size_t remaining = 1;
      EXPECT_TRUE(Equivalent(Decode(c.bytes, &remaining, offset), c.value))
          << c.name << " at offset " << offset;
      EXPECT_EQ(remaining, 0u) << c.name << " at offset " << offset;
    }
    for (size_t piece_size : {size_t{1}, size_t{3}, size_t{4096}}) {
      PieceReader reader(c.bytes, piece_size);
      EXPECT_TRUE(Equivalent(StandardCodecSerializer::GetInstance().ReadValue(&reader), c.value))
          << c.name << " in pieces of " << piece_size;
      EXPECT_EQ(reader.position(), c.bytes.size()) << c.name;
    }
    EXPECT_TRUE(capture.Flushes().empty()) << c.name;
  }
}

TEST(StandardCodecSerializerTest, SizeFieldBoundaries) {
  const struct {
    size_t size;
    Bytes bytes;
  } cases[] = {
      {253, {0xFD}},
      {254, {0xFE, 0xFE, 0x00}},
      {65535, {0xFE, 0xFF, 0xFF}},
      {65536, {0xFF, 0x00, 0x00, 0x01, 0x00}},
      {0xFFFFFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  const StandardCodecSerializer& serializer = StandardCodecSerializer::GetInstance();
  for (const auto& c : cases) {
    Bytes written;
    ByteBufferStreamWriter writer(&written);
    serializer.WriteSize(c.size, &writer);
    EXPECT_EQ(written, c.bytes) << c.size;
    ByteBufferStreamReader reader(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(serializer.ReadSize(&reader), c.size);
  }
  StderrCapture capture;
  const uint8_t cut[] = {0xFE};
  ByteBufferStreamReader reader(cut, 1);
  EXPECT_EQ(serializer.ReadSize(&reader), 0u);
  EXPECT_EQ(capture.Flushes(), std::vector<std::string>{kInvalidRead});
}

struct BadInputCase {
  const char* name;
  Bytes bytes;
  EncodableValue expected;
  std::vector<std::string> lines;
};

const std::string kTooDeep =
    "Value nested deeper than 256 levels in StandardCodecSerializer::ReadValueOfType\n";

TEST(StandardCodecSerializerTest, BadInputReadsAsZeroNullOrEmpty) {
  const std::vector<BadInputCase> cases = {
      {"control: good int32", {0x03, 5, 0, 0, 0}, EncodableValue(5), {}},
      {"empty input", {}, EncodableValue(), {kInvalidRead}},
      {"int32 cut short", {0x03, 5, 0}, EncodableValue(0), {kInvalidRead}},
      {"double cut short", {0x06, 0, 0, 0, 0, 0, 0, 0, 1}, EncodableValue(0.0), {kInvalidRead}},
      {"unknown tag",
       {0x0F, 0x01},
       EncodableValue(),
       {"Unknown type in StandardCodecSerializer::ReadValueOfType: 15\n"}},
      {"tag 5 reads as a string", {0x05, 1, 0x41}, EncodableValue("A"), {}},
      {"repeated map key keeps the first",
       {0x0D, 2, 0x07, 1, 'a', 0x03, 1, 0, 0, 0, 0x07, 1, 'a', 0x03, 2, 0, 0, 0},
       EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue(1)}}),
       {}},
      {"string longer than the input", {0x07, 5, 'a', 'b'}, EncodableValue(""), {kInvalidRead}},
      {"string of 2 GiB in 6 bytes",
       {0x07, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F},
       EncodableValue(""),
       {kInvalidRead}},
      {"int64 list of 32 GiB",
       {0x0A, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 1},
       EncodableValue(std::vector<int64_t>{}),
       {kInvalidRead}},
      {"float list one byte short",
       {0x0E, 1, 0, 0, 1, 2, 3},
       EncodableValue(std::vector<float>{}),
       {kInvalidRead}},
      {"list count beyond the input",
       {0x0C, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01},
       EncodableValue(EncodableList{}),
       {kInvalidRead}},
      {"map count beyond the input",
       {0x0D, 2, 0x01, 0x02, 0x01},
       EncodableValue(EncodableMap{}),
       {kInvalidRead}},
      {"list whose input ends early keeps what it read",
       {0x0C, 3, 0x03, 1, 0, 0, 0, 0x01},
       EncodableValue(EncodableList{EncodableValue(1), EncodableValue(true)}),
       {kInvalidRead}},
      {"outer list cut after a whole inner list",
       {0x0C, 3, 0x0C, 2, 0x01, 0x01},
       EncodableValue(EncodableList{
           EncodableValue(EncodableList{EncodableValue(true), EncodableValue(true)})}),
       {kInvalidRead}},
      {"map whose last value is missing",
       {0x0D, 1, 0x03, 1, 0, 0, 0},
       EncodableValue(EncodableMap{{EncodableValue(1), EncodableValue()}}),
       {kInvalidRead}},
      {"list whose last element is cut",
       {0x0C, 2, 0x07, 3, 'a'},
       EncodableValue(EncodableList{EncodableValue(""), EncodableValue()}),
       {kInvalidRead, "Unknown type in StandardCodecSerializer::ReadValueOfType: 97\n"}},
  };
  for (const BadInputCase& c : cases) {
    StderrCapture capture;
    EXPECT_TRUE(Equivalent(Decode(c.bytes), c.expected)) << c.name;
    EXPECT_EQ(capture.Flushes(), c.lines) << c.name;
  }
}

// `depth` lists of one element each, around `innermost`.
Bytes NestedLists(int depth, const Bytes& innermost) {
  Bytes bytes;
  for (int i = 0; i < depth; ++i) {
    bytes.insert(bytes.end(), {0x0C, 0x01});
  }
  return Concat(bytes, innermost);
}

int ListDepth(const EncodableValue& value) {
  int depth = 0;
  for (const EncodableValue* v = &value; std::holds_alternative<EncodableList>(*v);
       v = &std::get<EncodableList>(*v).front()) {
    ++depth;
  }
  return depth;
}

TEST(StandardCodecSerializerTest, NestingIsCappedAtTheLimit) {
  const int limit = StandardCodecSerializer::kMaxNestingDepth;
  StderrCapture capture;
  const EncodableValue at_limit = Decode(NestedLists(limit, {0x01}));
  EXPECT_EQ(ListDepth(at_limit), limit);
  EXPECT_TRUE(capture.Flushes().empty());

  // Deep enough to overflow the stack if each level were read recursively.
  EncodableValue hostile = Decode(NestedLists(200000, {0x01}));
  EXPECT_EQ(ListDepth(hostile), limit);
  EXPECT_EQ(capture.Flushes(), std::vector<std::string>{kTooDeep});
  const EncodableValue copy = hostile;
  EXPECT_FALSE(copy < hostile || hostile < copy);
  hostile = EncodableValue();
  EXPECT_EQ(ListDepth(copy), limit);

  // The value too deep ends the message: the list around it does not take the deep
  // value's bytes, nor the true after them, for its second element.
  const Bytes around = Concat({0x0C, 2}, Concat(NestedLists(limit, {0x01}), {0x01}));
  size_t remaining = 1;
  const EncodableValue outer = Decode(around, &remaining);
  EXPECT_EQ(std::get<EncodableList>(outer).size(), 1u);
  EXPECT_EQ(ListDepth(outer), limit);
  EXPECT_EQ(remaining, 0u);
  EXPECT_EQ(capture.Flushes(), (std::vector<std::string>{kTooDeep, kTooDeep, kInvalidRead}));

  Bytes maps;
  for (int i = 0; i <= limit; ++i) {
    maps.insert(maps.end(), {0x0D, 0x01, 0x00});
  }
  Decode(maps);
  EXPECT_EQ(capture.Flushes().size(), 4u) << "maps count toward the same limit";
}

size_t CountValues(const EncodableValue& value) {
  size_t count = 1;
  if (const auto* list = std::get_if<EncodableList>(&value)) {
    for (const EncodableValue& element : *list) count += CountValues(element);
  }
  return count;
}

TEST(StandardCodecSerializerTest, NestedCountsCannotMultiplyTheInput) {
  // Each of 200 nested lists announces as many elements as there are bytes after its
  // header; the innermost one takes all 4096 padding bytes as nulls. Were the lists above
  // it to read their missing elements as nulls, they would hold some 800,000 values.
  const size_t depth = 200;
  const size_t padding = 4096;
  const size_t total = depth * 6 + padding;
  const Bytes bytes = NestedListsClaimingEveryByte(depth, total);

  StderrCapture capture;
  const EncodableValue value = Decode(bytes);
  EXPECT_EQ(CountValues(value), depth + padding);
  EXPECT_EQ(capture.Flushes().size(), depth - 1);
}

// Adds a tag of its own, 128: a point of two int32s, held as a custom value. Another
// custom value plays a blob too large for a size field.
struct Point {
  int32_t x;
  int32_t y;
};
struct HugeBlob {};

class PointSerializer : public StandardCodecSerializer {
 public:
  void WriteValue(const EncodableValue& value, ByteStreamWriter* stream) const override {
    const auto* custom = std::get_if<CustomEncodableValue>(&value);
    if (custom != nullptr && custom->type() == typeid(Point)) {
      const auto point = std::any_cast<Point>(custom->value());
      stream->WriteByte(128);
      StandardCodecSerializer::WriteValue(EncodableValue(point.x), stream);
      StandardCodecSerializer::WriteValue(EncodableValue(point.y), stream);
    } else if (custom != nullptr && custom->type() == typeid(HugeBlob)) {
      WriteTypeAndSize(0x08, uint64_t{1} << 32, stream);
    } else {
      StandardCodecSerializer::WriteValue(value, stream);
    }
  }
  EncodableValue ReadValueOfType(uint8_t type, ByteStreamReader* stream) const override {
    if (type != 128) {
      return StandardCodecSerializer::ReadValueOfType(type, stream);
    }
    const int32_t x = std::get<int32_t>(ReadValue(stream));
    const int32_t y = std::get<int32_t>(ReadValue(stream));
    return EncodableValue(CustomEncodableValue(Point{x, y}));
  }
};

TEST(StandardCodecSerializerTest, ExtensionsSeeValuesNestedInListsAndMaps) {
  const PointSerializer serializer;
  const EncodableValue value(EncodableMap{
      {EncodableValue("p"),
       EncodableValue(EncodableList{EncodableValue(CustomEncodableValue(Point{3, -4}))})}});
  const Bytes bytes = Encode(value, serializer);
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  const EncodableValue decoded = serializer.ReadValue(&reader);
  const EncodableValue& element =
      std::get<EncodableList>(std::get<EncodableMap>(decoded).at(EncodableValue("p"))).at(0);
  const auto point = std::any_cast<Point>(std::get<CustomEncodableValue>(element).value());
  EXPECT_EQ(point.x, 3);
  EXPECT_EQ(point.y, -4);
}

TEST(StandardCodecSerializerTest, UnwritableValuesGoOutAsNullInStep) {
  StderrCapture capture;
  const EncodableValue with_custom(EncodableList{
      EncodableValue(1), EncodableValue(CustomEncodableValue(Point{})), EncodableValue(2)});
  const Bytes expected = {0x0C, 3, 0x03, 1, 0, 0, 0, 0x00, 0x03, 2, 0, 0, 0};
  EXPECT_EQ(Encode(with_custom), expected);
  EXPECT_EQ(capture.Flushes(), std::vector<std::string>{
                                   "Unhandled custom type in StandardCodecSerializer::WriteValue. "
                                   "Custom types require codec extensions.\n"});

  const EncodableValue with_huge(EncodableList{
      EncodableValue(1), EncodableValue(CustomEncodableValue(HugeBlob{})), EncodableValue(2)});
  EXPECT_EQ(Encode(with_huge, PointSerializer()), expected);
  EXPECT_EQ(capture.Flushes().back(),
            "Value too large in StandardCodecSerializer::WriteValue: 4294967296\n");
}

// A random value tree of the kinds that survive a round trip: no custom values, no NaN,
// and no empty typed lists (written unaligned, they may read back out of step).
class TreeMaker {
 public:
  explicit TreeMaker(uint32_t seed) : random_(seed) {}

  EncodableValue Make(int depth) {
    switch (Pick(depth > 0 ? 14 : 12)) {
      case 0:
        return EncodableValue();
      case 1:
        return EncodableValue(Pick(2) == 1);
      case 2:
        return EncodableValue(static_cast<int32_t>(random_()));
      case 3:
        return EncodableValue(static_cast<int64_t>((uint64_t{random_()} << 32) | random_()));
      case 4:
        return EncodableValue(std::ldexp(static_cast<double>(random_()), Pick(200) - 100));
      case 5:
        return EncodableValue(Text());
      case 6:
        return EncodableValue(Numbers<uint8_t>());
      case 7:
        return EncodableValue(Numbers<int32_t>());
      case 8:
        return EncodableValue(Numbers<int64_t>());
      case 9:
        return EncodableValue(Numbers<double>());
      case 10:
        return EncodableValue(Numbers<float>());
      case 11:
        return EncodableValue(std::vector<int32_t>(Pick(300) + 1, 7));
      case 12: {
        EncodableList list;
        for (int i = Pick(5); i > 0; --i) list.push_back(Make(depth - 1));
        return EncodableValue(std::move(list));
      }
      default: {
        EncodableMap map;
        for (int i = Pick(5); i > 0; --i) map.emplace(Make(depth - 1), Make(depth - 1));
        return EncodableValue(std::move(map));
      }
    }
  }

  int Pick(int bound) { return static_cast<int>(random_() % static_cast<uint32_t>(bound)); }

 private:
  std::string Text() {
    std::string text(Pick(4) == 0 ? Pick(400) : Pick(12), '\0');
    for (char& c : text) c = static_cast<char>(random_());
    return text;
  }
  template <typename T>
  std::vector<T> Numbers() {
    std::vector<T> numbers(Pick(9) + 1);
    for (T& n : numbers) n = static_cast<T>(static_cast<int32_t>(random_()));
    return numbers;
  }

  std::mt19937 random_;
};

TEST(StandardCodecSerializerTest, RandomTreesSurviveAndCutsStayInside) {
  TreeMaker maker(20261207);
  for (int round = 0; round < 400; ++round) {
    const EncodableValue tree = maker.Make(4);
    const Bytes bytes = Encode(tree);
    StderrCapture capture;
    size_t remaining = 1;
    const EncodableValue decoded = Decode(bytes, &remaining);
    ASSERT_TRUE(Equivalent(decoded, tree)) << "round " << round;
    ASSERT_EQ(Encode(decoded), bytes) << "round " << round;
    ASSERT_EQ(remaining, 0u) << "round " << round;
    ASSERT_TRUE(capture.Flushes().empty()) << "round " << round;

    // Every cut message is read without reaching past its end and reports its shortness.
    const size_t cut = static_cast<size_t>(maker.Pick(static_cast<int>(bytes.size())));
    Decode(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
    ASSERT_FALSE(capture.Flushes().empty()) << "round " << round << " cut at " << cut;
  }
}

TEST(StandardCodecSerializerTest, LargeBlocksArriveWholeFromEveryReaderAndStopAtALyingReader) {
  std::vector<double> numbers(100000);
  for (size_t i = 0; i < numbers.size(); ++i) numbers[i] = static_cast<double>(i) / 3;
  const Bytes bytes = Encode(EncodableValue(numbers));

  PieceReader honest(bytes, 4096);
  EXPECT_EQ(
      std::get<std::vector<double>>(StandardCodecSerializer::GetInstance().ReadValue(&honest)),
      numbers);

  for (size_t offset = 0; offset < sizeof(double); ++offset) {
    size_t remaining = 1;
    EXPECT_EQ(std::get<std::vector<double>>(Decode(bytes, &remaining, offset)), numbers)
        << "at offset " << offset;
    EXPECT_EQ(remaining, 0u) << "at offset " << offset;
  }

  // Claims the last element's bytes that it does not hold.
  StderrCapture capture;
  PieceReader liar(Bytes(bytes.begin(), bytes.end() - 8), 4096, 8);
  EXPECT_TRUE(std::get<std::vector<double>>(StandardCodecSerializer::GetInstance().ReadValue(&liar))
                  .empty());
  EXPECT_EQ(capture.Flushes(), std::vector<std::string>{kInvalidRead});
}

}  // namespace
}  // namespace flutter
