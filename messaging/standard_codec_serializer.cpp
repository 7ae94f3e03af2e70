#include "messaging/standard_codec_serializer.h"

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace flutter {
namespace {

enum Tag : uint8_t {
  kNull = 0,
  kTrue = 1,
  kFalse = 2,
  kInt32 = 3,
  kInt64 = 4,
  kLegacyString = 5,
  kDouble = 6,
  kString = 7,
  kByteList = 8,
  kInt32List = 9,
  kInt64List = 10,
  kDoubleList = 11,
  kList = 12,
  kMap = 13,
  kFloatList = 14,
};

constexpr uint8_t kSize16 = 254;
constexpr uint8_t kSize32 = 255;

// One diagnostic: a whole line, flushed at once.
void WriteErrorLine(const std::string& text) { std::cerr << (text + "\n") << std::flush; }

// How deep the lists and maps being read on this thread are nested. The serializer is
// shared and stateless, so the depth lives with the thread doing the reading.
thread_local int nesting_depth = 0;

class NestingGuard {
 public:
  NestingGuard() { ++nesting_depth; }
  ~NestingGuard() { --nesting_depth; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;

  bool TooDeep() const { return nesting_depth > StandardCodecSerializer::kMaxNestingDepth; }
};

// Reports a value nested too deep and gives up on the rest of the message: its bytes
// are consumed, so that the lists and maps around the value end as at a short read
// instead of taking the deep value's bytes for their own elements.
void AbandonTooDeep(ByteStreamReader* stream) {
  WriteErrorLine("Value nested deeper than " +
                 std::to_string(StandardCodecSerializer::kMaxNestingDepth) +
                 " levels in StandardCodecSerializer::ReadValueOfType");
  uint8_t discarded[256];
  for (size_t remaining = stream->BytesRemaining(); remaining > 0;) {
    stream->ReadBytes(discarded, std::min(remaining, sizeof(discarded)));
    const size_t left = stream->BytesRemaining();
    if (left >= remaining) {
      return;  // a reader that does not move; nothing more can be consumed
    }
    remaining = left;
  }
}

template <typename T>
void WriteNumber(T value, ByteStreamWriter* stream) {
  uint8_t bytes[sizeof(T)];
  LittleEndian::Store(value, bytes);
  stream->WriteBytes(bytes, sizeof(T));
}

// A short read leaves the bytes zero, so the number reads as 0.
template <typename T>
T ReadNumber(ByteStreamReader* stream) {
  uint8_t bytes[sizeof(T)] = {};
  stream->ReadBytes(bytes, sizeof(T));
  return LittleEndian::Load<T>(bytes);
}

// Whether `count` items of at least `width` bytes each can still be in the input. When
// they cannot, the read is short: reported here, before anything is allocated.
bool FitsInInput(size_t count, size_t width, const ByteStreamReader& stream) {
  if (count > stream.BytesRemaining() / width) {
    ReportInvalidRead();
    return false;
  }
  return true;
}

// Whether another element of a list or map can start. Once the input is used up, the
// elements still announced are missing and one short read ends the list or map. Reading
// each of them as null instead would let nested lists, each announcing as many elements
// as there are bytes left, turn one byte of input into hundreds of values.
bool InputLeft(const ByteStreamReader& stream) {
  if (stream.BytesRemaining() == 0) {
    ReportInvalidRead();
    return false;
  }
  return true;
}

// Room for at most this many elements is reserved before a list is read; longer lists
// grow as they are read. Nested lists may each announce as many elements as there are
// bytes left, and reserving all of that at every level would ask for hundreds of times
// the input before any of it is read.
constexpr size_t kMaxListReserve = 256;

// Strings and typed lists arrive as a block of elements. One whose announced size does
// not fit in the input reads as empty; an empty typed list still skips its alignment.
template <typename List>
List ReadBlock(const StandardCodecSerializer& codec, ByteStreamReader* stream) {
  using Element = typename List::value_type;
  const size_t count = codec.ReadSize(stream);
  if constexpr (sizeof(Element) > 1) {
    stream->ReadAlignment(sizeof(Element));
  }
  if (!FitsInInput(count, sizeof(Element), *stream)) {
    return List();
  }
  const size_t size = count * sizeof(Element);
  const uint8_t* const in_place = stream->ReadInPlace(size);
  if (in_place != nullptr && reinterpret_cast<uintptr_t>(in_place) % alignof(Element) == 0) {
    // The list is built from the input's bytes where they lie: one copy into its own
    // storage, which is not zero-filled first. Taken only where the input is aligned for
    // the element, so that no element is ever read from a misaligned address.
    const auto* const first = reinterpret_cast<const Element*>(in_place);
    return List(first, first + count);
  }
  // Otherwise the list's storage is made first and the bytes are copied into it once.
  List list(count, Element());
  auto* const storage = reinterpret_cast<uint8_t*>(list.data());
  if (in_place != nullptr) {
    std::copy(in_place, in_place + size, storage);
    return list;
  }
  const size_t remaining = stream->BytesRemaining();
  stream->ReadBytes(storage, size);
  if (stream->BytesRemaining() + size != remaining) {
    // The reader held less than it claimed and has reported the short read.
    return List();
  }
  return list;
}

}  // namespace

const StandardCodecSerializer& StandardCodecSerializer::GetInstance() {
  static const StandardCodecSerializer instance;
  return instance;
}

StandardCodecSerializer::StandardCodecSerializer() = default;

StandardCodecSerializer::~StandardCodecSerializer() = default;

EncodableValue StandardCodecSerializer::ReadValue(ByteStreamReader* stream) const {
  const uint8_t type = stream->ReadByte();
  return ReadValueOfType(type, stream);
}

size_t StandardCodecSerializer::ReadSize(ByteStreamReader* stream) const {
  const uint8_t first = stream->ReadByte();
  if (first < kSize16) {
    return first;
  }
  if (first == kSize16) {
    return ReadNumber<uint16_t>(stream);
  }
  return ReadNumber<uint32_t>(stream);
}

void StandardCodecSerializer::WriteSize(size_t size, ByteStreamWriter* stream) const {
  if (size < kSize16) {
    stream->WriteByte(static_cast<uint8_t>(size));
  } else if (size <= 0xFFFF) {
    stream->WriteByte(kSize16);
    WriteNumber(static_cast<uint16_t>(size), stream);
  } else {
    stream->WriteByte(kSize32);
    WriteNumber(static_cast<uint32_t>(size), stream);
  }
}

bool StandardCodecSerializer::WriteTypeAndSize(uint8_t type, uint64_t size,
                                               ByteStreamWriter* stream) const {
  if (size > kMaxSize) {
    WriteErrorLine("Value too large in StandardCodecSerializer::WriteValue: " +
                   std::to_string(size));
    stream->WriteByte(kNull);
    return false;
  }
  stream->WriteByte(type);
  WriteSize(static_cast<size_t>(size), stream);
  return true;
}

void StandardCodecSerializer::WriteValue(const EncodableValue& value,
                                         ByteStreamWriter* stream) const {
  // Strings and typed lists go out as one block. Typed lists of wider elements are
  // aligned even when empty, because every reader skips that alignment.
  const auto write_block = [this, stream](uint8_t type, const auto& list) {
    using Element = typename std::decay_t<decltype(list)>::value_type;
    if (!WriteTypeAndSize(type, list.size(), stream)) {
      return;
    }
    if constexpr (sizeof(Element) > 1) {
      stream->WriteAlignment(sizeof(Element));
    }
    if (!list.empty()) {
      stream->WriteBytes(reinterpret_cast<const uint8_t*>(list.data()),
                         list.size() * sizeof(Element));
    }
  };

  if (value.valueless_by_exception()) {
    stream->WriteByte(kNull);
    return;
  }
  // By the alternative's type, so that an alternative added to the variant is written
  // by its own branch or does not build.
  std::visit(
      [this, stream, &write_block](const auto& held) {
        using Held = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<Held, std::monostate>) {
          stream->WriteByte(kNull);
        } else if constexpr (std::is_same_v<Held, bool>) {
          stream->WriteByte(held ? kTrue : kFalse);
        } else if constexpr (std::is_same_v<Held, int32_t>) {
          stream->WriteByte(kInt32);
          WriteNumber(held, stream);
        } else if constexpr (std::is_same_v<Held, int64_t>) {
          stream->WriteByte(kInt64);
          WriteNumber(held, stream);
        } else if constexpr (std::is_same_v<Held, double>) {
          stream->WriteByte(kDouble);
          stream->WriteAlignment(sizeof(double));
          WriteNumber(held, stream);
        } else if constexpr (std::is_same_v<Held, std::string>) {
          write_block(kString, held);
        } else if constexpr (std::is_same_v<Held, std::vector<uint8_t>>) {
          write_block(kByteList, held);
        } else if constexpr (std::is_same_v<Held, std::vector<int32_t>>) {
          write_block(kInt32List, held);
        } else if constexpr (std::is_same_v<Held, std::vector<int64_t>>) {
          write_block(kInt64List, held);
        } else if constexpr (std::is_same_v<Held, std::vector<double>>) {
          write_block(kDoubleList, held);
        } else if constexpr (std::is_same_v<Held, std::vector<float>>) {
          write_block(kFloatList, held);
        } else if constexpr (std::is_same_v<Held, EncodableList>) {
          if (WriteTypeAndSize(kList, held.size(), stream)) {
            for (const EncodableValue& element : held) {
              WriteValue(element, stream);
            }
          }
        } else if constexpr (std::is_same_v<Held, EncodableMap>) {
          if (WriteTypeAndSize(kMap, held.size(), stream)) {
            for (const auto& [key, element] : held) {
              WriteValue(key, stream);
              WriteValue(element, stream);
            }
          }
        } else {
          static_assert(std::is_same_v<Held, CustomEncodableValue>,
                        "every alternative of the value needs a branch here");
          WriteErrorLine(
              "Unhandled custom type in StandardCodecSerializer::WriteValue. "
              "Custom types require codec extensions.");
          stream->WriteByte(kNull);
        }
      },
      static_cast<const EncodableVariant&>(value));
}

EncodableValue StandardCodecSerializer::ReadValueOfType(uint8_t type,
                                                        ByteStreamReader* stream) const {
  switch (type) {
    case kNull:
      return EncodableValue();
    case kTrue:
      return EncodableValue(true);
    case kFalse:
      return EncodableValue(false);
    case kInt32:
      return EncodableValue(ReadNumber<int32_t>(stream));
    case kInt64:
      return EncodableValue(ReadNumber<int64_t>(stream));
    case kDouble:
      stream->ReadAlignment(sizeof(double));
      return EncodableValue(ReadNumber<double>(stream));
    case kLegacyString:
    case kString:
      return EncodableValue(ReadBlock<std::string>(*this, stream));
    case kByteList:
      return EncodableValue(ReadBlock<std::vector<uint8_t>>(*this, stream));
    case kInt32List:
      return EncodableValue(ReadBlock<std::vector<int32_t>>(*this, stream));
    case kInt64List:
      return EncodableValue(ReadBlock<std::vector<int64_t>>(*this, stream));
    case kDoubleList:
      return EncodableValue(ReadBlock<std::vector<double>>(*this, stream));
    case kFloatList:
      return EncodableValue(ReadBlock<std::vector<float>>(*this, stream));
    case kList: {
      const NestingGuard guard;
      if (guard.TooDeep()) {
        AbandonTooDeep(stream);
        return EncodableValue();
      }
      const size_t count = ReadSize(stream);
      // Every element takes at least its tag byte.
      if (!FitsInInput(count, 1, *stream)) {
        return EncodableValue(EncodableList());
      }
      EncodableList list;
      list.reserve(std::min(count, kMaxListReserve));
      for (size_t i = 0; i < count && InputLeft(*stream); ++i) {
        list.push_back(ReadValueOfType(stream->ReadByte(), stream));
      }
      return EncodableValue(std::move(list));
    }
    case kMap: {
      const NestingGuard guard;
      if (guard.TooDeep()) {
        AbandonTooDeep(stream);
        return EncodableValue();
      }
      const size_t count = ReadSize(stream);
      // Every entry takes at least a key tag and a value tag.
      if (!FitsInInput(count, 2, *stream)) {
        return EncodableValue(EncodableMap());
      }
      EncodableMap map;
      for (size_t i = 0; i < count && InputLeft(*stream); ++i) {
        EncodableValue key = ReadValueOfType(stream->ReadByte(), stream);
        EncodableValue element = ReadValueOfType(stream->ReadByte(), stream);
        // A repeated key keeps its first entry.
        map.emplace(std::move(key), std::move(element));
      }
      return EncodableValue(std::move(map));
    }
    default:
      WriteErrorLine("Unknown type in StandardCodecSerializer::ReadValueOfType: " +
                     std::to_string(type));
      return EncodableValue();
  }
}

}  // namespace flutter
