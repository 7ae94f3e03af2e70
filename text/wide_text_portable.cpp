// The converters away from Windows: the project's own, substituting U+FFFD for each
// maximal ill-formed subpart of the input (the Unicode standard's recommended
// practice), so that no input is ever rejected.

#include <cstdint>

#include "text/wide_text.h"

namespace camvey::text {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

void AppendCodePoint(char32_t code_point, std::u16string* out) {
  if (code_point < 0x10000) {
    out->push_back(static_cast<char16_t>(code_point));
    return;
  }
  code_point -= 0x10000;
  out->push_back(static_cast<char16_t>(0xD800 + (code_point >> 10)));
  out->push_back(static_cast<char16_t>(0xDC00 + (code_point & 0x3FF)));
}

void AppendUtf8(char32_t code_point, std::string* out) {
  if (code_point < 0x80) {
    out->push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::u16string Utf8ToWide(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    // Sequence length and the allowed range of the second byte, which rules out
    // overlong forms, surrogates and code points above U+10FFFF.
    int length = 0;
    std::uint8_t second_low = 0x80;
    std::uint8_t second_high = 0xBF;
    char32_t code_point = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code_point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code_point = lead & 0x0F;
      if (lead == 0xE0) second_low = 0xA0;
      if (lead == 0xED) second_high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code_point = lead & 0x07;
      if (lead == 0xF0) second_low = 0x90;
      if (lead == 0xF4) second_high = 0x8F;
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    std::size_t next = i + 1;
    bool complete = true;
    for (int k = 1; k < length; ++k, ++next) {
      const std::uint8_t low = k == 1 ? second_low : 0x80;
      const std::uint8_t high = k == 1 ? second_high : 0xBF;
      if (next >= size || static_cast<std::uint8_t>(text[next]) < low ||
          static_cast<std::uint8_t>(text[next]) > high) {
        complete = false;
        break;
      }
      code_point = (code_point << 6) | (static_cast<std::uint8_t>(text[next]) & 0x3F);
    }
    if (complete) {
      AppendCodePoint(code_point, &out);
    } else {
      // The byte that broke the sequence starts the next one.
      out.push_back(kReplacement);
    }
    i = next;
  }
  return out;
}

std::optional<std::string> WideToUtf8(const std::u16string& text, IllFormedUtf16 policy) {
  std::string out;
  out.reserve(text.size());
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size; ++i) {
    const char16_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < size && IsLowSurrogate(text[i + 1])) {
      AppendUtf8(0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00),
                 &out);
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      if (policy == IllFormedUtf16::kReject) return std::nullopt;
      AppendUtf8(kReplacement, &out);
    } else {
      AppendUtf8(unit, &out);
    }
  }
  return out;
}

}  // namespace camvey::text
