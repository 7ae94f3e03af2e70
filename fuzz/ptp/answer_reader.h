#ifndef CAMVEY_FUZZ_PTP_ANSWER_READER_H_
#define CAMVEY_FUZZ_PTP_ANSWER_READER_H_

// The fuzz input read front to back, one draw at a time. An input that has run out
// reads as zeros, and every draw takes a zero for its most ordinary answer (success,
// the first entry of its pool, no more objects), so that every run ends and a short
// input describes a plain phone.

#include <cstddef>
#include <cstdint>
#include <string>

namespace camvey::fuzz {

class AnswerReader {
 public:
  // Borrows the input for the reader's lifetime.
  AnswerReader(const std::uint8_t* data, std::size_t size);

  // The next byte, 0 once the input is used up.
  std::uint8_t Byte();
  // Byte() taken modulo `bound` (1 to 256).
  std::uint32_t Below(std::uint32_t bound);
  // Reads one byte; true when it is `ordinary_below` or more, for a draw that then
  // answers from its table of hostile answers.
  bool Hostile(std::uint8_t ordinary_below);

  // An entry of `pool`, counted from its entry `first` on (a zero byte picks that
  // one), or now and then any UTF-16 text of up to 15 code units, lone surrogates and
  // NULs included.
  template <std::size_t N>
  std::u16string Text(const char16_t* const (&pool)[N], std::size_t first = 0) {
    const std::uint8_t choice = Byte();
    if (choice >= kAnyTextFrom) return AnyText();
    return pool[(choice + first) % N];
  }

  // An entry of `table`, chosen by the next byte.
  template <typename T, std::size_t N>
  const T& Pick(const T (&table)[N]) {
    return table[Below(N)];
  }

 private:
  static constexpr std::uint8_t kAnyTextFrom = 240;

  std::u16string AnyText();

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

}  // namespace camvey::fuzz

#endif  // CAMVEY_FUZZ_PTP_ANSWER_READER_H_
