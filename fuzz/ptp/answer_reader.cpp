#include "fuzz/ptp/answer_reader.h"

namespace camvey::fuzz {

AnswerReader::AnswerReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

std::uint8_t AnswerReader::Byte() { return position_ < size_ ? data_[position_++] : 0; }

std::uint32_t AnswerReader::Below(std::uint32_t bound) { return Byte() % bound; }

bool AnswerReader::Hostile(std::uint8_t ordinary_below) { return Byte() >= ordinary_below; }

std::u16string AnswerReader::AnyText() {
  std::u16string text(Below(16), u'\0');
  for (char16_t& unit : text) {
    const std::uint8_t low = Byte();
    unit = static_cast<char16_t>(low | (Byte() << 8));
  }
  return text;
}

}  // namespace camvey::fuzz
