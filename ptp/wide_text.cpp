#include "ptp/wide_text.h"

namespace camvey::ptp {

std::u16string UpperCaseWide(std::u16string text) {
  for (char16_t& unit : text) {
    if (unit >= u'a' && unit <= u'z') {
      unit = static_cast<char16_t>(unit - u'a' + u'A');
    }
  }
  return text;
}

}  // namespace camvey::ptp
