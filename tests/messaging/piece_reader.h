#ifndef CAMVEY_TESTS_MESSAGING_PIECE_READER_H_
#define CAMVEY_TESTS_MESSAGING_PIECE_READER_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "messaging/byte_streams.h"

namespace flutter {

// A reader written apart from ByteBufferStreamReader, so that codec cases also run over
// a second implementation of the interface. It copies every read in pieces of at most
// `piece_size` bytes, counts the reads, and can overstate what it holds by
// `claimed_extra` bytes to play a reader that breaks its own contract.
class PieceReader : public ByteStreamReader {
 public:
  PieceReader(std::vector<uint8_t> bytes, size_t piece_size, size_t claimed_extra = 0)
      : bytes_(std::move(bytes)), piece_size_(piece_size), claimed_extra_(claimed_extra) {}

  uint8_t ReadByte() override {
    if (position_ >= bytes_.size()) {
      ReportInvalidRead();
      return 0;
    }
    return bytes_[position_++];
  }

  void ReadBytes(uint8_t* destination, size_t count) override {
    ++block_reads_;
    if (position_ > bytes_.size() || count > bytes_.size() - position_) {
      ReportInvalidRead();
      return;
    }
    for (size_t done = 0; done < count; done += piece_size_) {
      std::memcpy(destination + done, bytes_.data() + position_ + done,
                  std::min(piece_size_, count - done));
    }
    position_ += count;
  }

  void ReadAlignment(uint8_t alignment) override {
    position_ = (position_ + alignment - 1) / alignment * alignment;
  }

  size_t BytesRemaining() const override {
    return (position_ < bytes_.size() ? bytes_.size() - position_ : 0) + claimed_extra_;
  }

  size_t position() const { return position_; }
  int block_reads() const { return block_reads_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t piece_size_;
  size_t claimed_extra_;
  size_t position_ = 0;
  int block_reads_ = 0;
};

}  // namespace flutter

#endif  // CAMVEY_TESTS_MESSAGING_PIECE_READER_H_
