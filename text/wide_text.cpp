#include "text/wide_text.h"

namespace camvey::text {

std::string WideToUtf8(const std::u16string& text) {
  return *WideToUtf8(text, IllFormedUtf16::kReplace);
}

std::u16string UpperCaseWide(std::u16string text) {
  for (char16_t& unit : text) unit = UpperCaseUnit(unit);
  return text;
}

}  // namespace camvey::text
