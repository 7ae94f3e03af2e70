#ifndef CAMVEY_MESSAGING_BYTE_STREAMS_H_
#define CAMVEY_MESSAGING_BYTE_STREAMS_H_

// The byte sources and sinks that the standard codec reads and writes through, and the
// one place that knows the wire's byte order.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

namespace flutter {

// Byte order of the standard message format: little-endian, the order of every machine
// the host runs on. Numbers go to and from wire bytes only through this helper, and
// typed lists move as whole blocks of native numbers, which the check below makes safe.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "The standard message format moves numbers as native little-endian bytes."
#endif
struct LittleEndian {
  // Writes the sizeof(T) wire bytes of `value` to `bytes`.
  template <typename T>
  static void Store(T value, uint8_t* bytes) {
    static_assert(std::is_arithmetic_v<T>, "numbers only");
    std::memcpy(bytes, &value, sizeof(T));
  }
  // The number whose sizeof(T) wire bytes are at `bytes`.
  template <typename T>
  static T Load(const uint8_t* bytes) {
    static_assert(std::is_arithmetic_v<T>, "numbers only");
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
  }
};

// Writes the line that marks a read past the end of the input, and flushes it. Every
// short read, whether found by a reader or foreseen by the codec, reports through this.
void ReportInvalidRead();

// A source of message bytes. Positions count from the first byte of the whole message.
// A reader is made for one message and used by one thread.
class ByteStreamReader {
 public:
  virtual ~ByteStreamReader() = default;

  // The next byte. When none is left: reports a short read, returns 0, consumes nothing.
  virtual uint8_t ReadByte() = 0;
  // Copies the next `count` bytes to `destination`, which has room for them. When fewer
  // are left: reports a short read, consumes nothing and leaves `destination` untouched.
  virtual void ReadBytes(uint8_t* destination, size_t count) = 0;
  // Skips to the next position that is a multiple of `alignment`. It may move past the
  // end; the next read then reports the short read.
  virtual void ReadAlignment(uint8_t alignment) = 0;
  // How many bytes are left (0 once past the end). The codec checks every announced size
  // against it before allocating, so a short message never asks for a large buffer.
  virtual size_t BytesRemaining() const = 0;
  // Consumes the next `count` bytes and returns where they lie, when the reader holds
  // them in one piece of memory that stays valid and unchanged for its lifetime, so that
  // a large block is copied once, straight into the value that keeps it. Returns null
  // and consumes nothing when it does not hold them so, or when fewer are left; it
  // reports nothing, and the caller then reads them with ReadBytes, which does. The
  // default suits a reader that copies its input from elsewhere.
  virtual const uint8_t* ReadInPlace(size_t count);
};

// A sink of message bytes. Positions count from the first byte of the whole message.
class ByteStreamWriter {
 public:
  virtual ~ByteStreamWriter() = default;

  virtual void WriteByte(uint8_t byte) = 0;
  // Appends `count` bytes from `source`; a count of 0 appends nothing.
  virtual void WriteBytes(const uint8_t* source, size_t count) = 0;
  // Appends zero bytes up to the next position that is a multiple of `alignment`.
  virtual void WriteAlignment(uint8_t alignment) = 0;
};

// Reads a message held in memory. The bytes are borrowed: the caller keeps them alive
// and unchanged for the reader's lifetime.
class ByteBufferStreamReader : public ByteStreamReader {
 public:
  ByteBufferStreamReader(const uint8_t* bytes, size_t size);
  ~ByteBufferStreamReader() override;

  ByteBufferStreamReader(const ByteBufferStreamReader&) = delete;
  ByteBufferStreamReader& operator=(const ByteBufferStreamReader&) = delete;

  uint8_t ReadByte() override;
  void ReadBytes(uint8_t* destination, size_t count) override;
  void ReadAlignment(uint8_t alignment) override;
  size_t BytesRemaining() const override;
  const uint8_t* ReadInPlace(size_t count) override;

 private:
  // Whether the next `count` bytes are all there. Past the end (after an alignment skip)
  // not even 0 bytes are.
  bool Holds(size_t count) const;

  const uint8_t* bytes_;
  size_t size_;
  size_t position_ = 0;
};

// Appends a message to a byte array that the caller owns and keeps alive for the
// writer's lifetime. Bytes already in the array count as the start of the message.
class ByteBufferStreamWriter : public ByteStreamWriter {
 public:
  explicit ByteBufferStreamWriter(std::vector<uint8_t>* buffer);
  ~ByteBufferStreamWriter() override;

  ByteBufferStreamWriter(const ByteBufferStreamWriter&) = delete;
  ByteBufferStreamWriter& operator=(const ByteBufferStreamWriter&) = delete;

  void WriteByte(uint8_t byte) override;
  void WriteBytes(const uint8_t* source, size_t count) override;
  void WriteAlignment(uint8_t alignment) override;

 private:
  std::vector<uint8_t>* buffer_;
};

}  // namespace flutter

#endif  // CAMVEY_MESSAGING_BYTE_STREAMS_H_
