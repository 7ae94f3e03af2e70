#ifndef CAMVEY_MESSAGING_STANDARD_CODEC_SERIALIZER_H_
#define CAMVEY_MESSAGING_STANDARD_CODEC_SERIALIZER_H_

// The standard message format: one EncodableValue as a type byte and its payload.
// Numbers are little-endian. "align N" skips (reader) or writes zero bytes (writer) up
// to the next multiple of N, counted from the first byte of the whole message.
//
//   tag  value         payload after the tag
//   0    null          -
//   1    true          -
//   2    false         -
//   3    int32         4 bytes
//   4    int64         8 bytes
//   5    string        as tag 7 (read only; never written)
//   6    double        align 8, 8 bytes IEEE 754
//   7    string        size, then size bytes
//   8    byte list     size, then size bytes
//   9    int32 list    size, align 4, then 4 bytes per element
//   10   int64 list    size, align 8, then 8 bytes per element
//   11   double list   size, align 8, then 8 bytes per element
//   12   list          size, then each element as a complete value
//   13   map           size, then each entry as key value, value value, keys ascending
//   14   float list    size, align 4, then 4 bytes per element
//
// Typed lists (8 to 14 above) are aligned even when of size 0. Custom values and
// valueless values are written as null.
//
//   size            bytes
//   0 .. 253        the size as 1 byte
//   254 .. 65535    254, then the size as 2 bytes
//   65536 .. 2^32-1 255, then the size as 4 bytes
//
// Bad input never stops reading. Each problem writes one line to standard error and
// yields a zero, null or empty value in place of what is missing:
//   - a read past the end ("Invalid read in StandardCodecByteStreamReader"); a string,
//     typed list, list or map whose announced size cannot fit in the bytes left reads as
//     empty after one such line, without allocating for the announced size; a list or
//     map whose input ends before its announced count keeps the elements read so far;
//   - an unknown tag reads as null;
//   - a list or map nested deeper than kMaxNestingDepth reads as null and ends the
//     message: the rest of its bytes are consumed unread, and the lists and maps around
//     it end as at a short read;
//   - a value whose size needs 2^32 or more is written as null, as is a custom value.

#include <cstddef>
#include <cstdint>

#include "messaging/byte_streams.h"
#include "messaging/encodable_value.h"

namespace flutter {

// Writes and reads values in the standard message format. Holds no state: one shared
// instance serves every thread at once. Derived serializers add tags of their own by
// overriding WriteValue and ReadValueOfType; lists and maps call both through the
// virtual slot, so an extension also sees values nested inside them.
class StandardCodecSerializer {
 public:
  // Lists and maps nested deeper than this read as null and end the message, so that
  // hostile input cannot exhaust the stack of the reader or of whoever later copies,
  // compares or destroys the value.
  static constexpr int kMaxNestingDepth = 256;
  // The largest size a size field can carry.
  static constexpr uint64_t kMaxSize = 0xFFFFFFFFu;

  // The process-wide serializer, created on first use by whichever thread comes first
  // and valid until the process ends.
  static const StandardCodecSerializer& GetInstance();

  StandardCodecSerializer();
  virtual ~StandardCodecSerializer();

  StandardCodecSerializer(const StandardCodecSerializer&) = delete;
  StandardCodecSerializer& operator=(const StandardCodecSerializer&) = delete;

  // Appends `value`, tag included.
  virtual void WriteValue(const EncodableValue& value, ByteStreamWriter* stream) const;
  // Reads the payload of a value whose tag `type` has already been read.
  virtual EncodableValue ReadValueOfType(uint8_t type, ByteStreamReader* stream) const;

  // Reads a tag and then its payload.
  EncodableValue ReadValue(ByteStreamReader* stream) const;
  // A size field; one cut short reads as 0.
  size_t ReadSize(ByteStreamReader* stream) const;
  // Appends a size field. `size` is at most kMaxSize; WriteValue checks that first.
  void WriteSize(size_t size, ByteStreamWriter* stream) const;

 protected:
  // Starts a value that carries a size: appends `type` and `size` and returns true.
  // When `size` exceeds kMaxSize it appends a null in place of the whole value, reports
  // it, and returns false: the caller writes nothing more, and the reader stays in step.
  bool WriteTypeAndSize(uint8_t type, uint64_t size, ByteStreamWriter* stream) const;
};

}  // namespace flutter

#endif  // CAMVEY_MESSAGING_STANDARD_CODEC_SERIALIZER_H_
