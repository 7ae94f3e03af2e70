#include "ptp/device/photo_name.h"

#include <algorithm>

#include "ptp/wide_text.h"

namespace camvey::ptp {

std::u16string StemOf(const std::u16string& name) {
  return UpperCaseWide(name.substr(0, std::min(name.rfind(u'.'), name.size())));
}

}  // namespace camvey::ptp
