#include "messaging/byte_streams.h"

#include <iostream>

namespace flutter {

void ReportInvalidRead() {
  std::cerr << "Invalid read in StandardCodecByteStreamReader\n" << std::flush;
}

const uint8_t* ByteStreamReader::ReadInPlace(size_t /*count*/) { return nullptr; }

ByteBufferStreamReader::ByteBufferStreamReader(const uint8_t* bytes, size_t size)
    : bytes_(bytes), size_(size) {}

ByteBufferStreamReader::~ByteBufferStreamReader() = default;

uint8_t ByteBufferStreamReader::ReadByte() {
  if (position_ >= size_) {
    ReportInvalidRead();
    return 0;
  }
  return bytes_[position_++];
}

void ByteBufferStreamReader::ReadBytes(uint8_t* destination, size_t count) {
  if (!Holds(count)) {
    ReportInvalidRead();
    return;
  }
  if (count > 0) {
    std::memcpy(destination, bytes_ + position_, count);
    position_ += count;
  }
}

void ByteBufferStreamReader::ReadAlignment(uint8_t alignment) {
  if (alignment == 0) {
    return;
  }
  const size_t misalignment = position_ % alignment;
  if (misalignment != 0) {
    position_ += alignment - misalignment;
  }
}

size_t ByteBufferStreamReader::BytesRemaining() const {
  return position_ < size_ ? size_ - position_ : 0;
}

const uint8_t* ByteBufferStreamReader::ReadInPlace(size_t count) {
  if (!Holds(count) || bytes_ == nullptr) {
    return nullptr;
  }
  const uint8_t* const start = bytes_ + position_;
  position_ += count;
  return start;
}

bool ByteBufferStreamReader::Holds(size_t count) const {
  return position_ <= size_ && count <= size_ - position_;
}

ByteBufferStreamWriter::ByteBufferStreamWriter(std::vector<uint8_t>* buffer) : buffer_(buffer) {}

ByteBufferStreamWriter::~ByteBufferStreamWriter() = default;

void ByteBufferStreamWriter::WriteByte(uint8_t byte) { buffer_->push_back(byte); }

void ByteBufferStreamWriter::WriteBytes(const uint8_t* source, size_t count) {
  if (count > 0) {
    buffer_->insert(buffer_->end(), source, source + count);
  }
}

void ByteBufferStreamWriter::WriteAlignment(uint8_t alignment) {
  if (alignment == 0) {
    return;
  }
  const size_t misalignment = buffer_->size() % alignment;
  if (misalignment != 0) {
    for (size_t i = misalignment; i < alignment; ++i) {
      WriteByte(0);
    }
  }
}

}  // namespace flutter
