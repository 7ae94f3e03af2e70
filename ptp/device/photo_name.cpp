#include "ptp/device/photo_name.h"

#include <algorithm>

#include "text/wide_text.h"

namespace camvey::ptp {

std::u16string StemOf(const std::u16string& name) {
  std::u16string stem = name.substr(0, std::min(name.rfind(u'.'), name.size()));
  for (char16_t& unit : stem) unit = text::UpperCaseUnit(unit);
  return stem;
}

}  // namespace camvey::ptp
