#include "ptp/device/photo_name.h"

#include <algorithm>

#include "text/wide_text.h"

namespace camvey::ptp {

std::u16string StemOf(const std::u16string& name) {
  std::u16string stem;
  StemInto(name, &stem);
  return stem;
}

void StemInto(const std::u16string& name, std::u16string* stem) {
  stem->assign(name, 0, std::min(name.rfind(u'.'), name.size()));
  for (char16_t& unit : *stem) unit = text::UpperCaseUnit(unit);
}

std::u16string_view StemOfUpperCased(std::u16string_view name) {
  return name.substr(0, std::min(name.rfind(u'.'), name.size()));
}

std::u16string_view UpperCasedName(const std::u16string& name, std::u16string* buffer) {
  const auto lower = std::find_if(name.begin(), name.end(),
                                  [](char16_t unit) { return text::UpperCaseUnit(unit) != unit; });
  if (lower == name.end()) return name;
  buffer->assign(name);
  for (char16_t& unit : *buffer) unit = text::UpperCaseUnit(unit);
  return *buffer;
}

}  // namespace camvey::ptp
