#ifndef CAMVEY_PTP_DEVICE_PHOTO_NAME_H_
#define CAMVEY_PTP_DEVICE_PHOTO_NAME_H_

// The names of a photo's objects. An iPhone numbers every file of one photo alike:
// the still (IMG_0001.HEIC, or .JPG when the phone converts it), its Live Photo video
// (IMG_0001.MOV) and its edit sidecar (IMG_0001.AAE) share the stem IMG_0001.

#include <algorithm>
#include <string>
#include <string_view>

#include "text/wide_text.h"

namespace camvey::ptp {

// The stem of a name already upper-cased: the name up to its last '.' (the whole name
// without one), as a view of it. Inline, like the next: the rounds call both for every
// object listed.
inline std::u16string_view StemOfUpperCased(std::u16string_view name) {
  return name.substr(0, std::min(name.rfind(u'.'), name.size()));
}

// `name` upper-cased: the name itself when it holds no a to z, as an iPhone spells its
// photos, else a copy upper-cased into *buffer, whose storage is reused. The view lasts
// while both do and neither changes.
inline std::u16string_view UpperCasedName(const std::u16string& name, std::u16string* buffer) {
  const auto lower = std::find_if(name.begin(), name.end(),
                                  [](char16_t unit) { return text::UpperCaseUnit(unit) != unit; });
  if (lower == name.end()) return name;
  buffer->assign(name);
  for (char16_t& unit : *buffer) unit = text::UpperCaseUnit(unit);
  return *buffer;
}

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_PHOTO_NAME_H_
