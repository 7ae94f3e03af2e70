#ifndef CAMVEY_FUZZ_PTP_PHOTO_TERMS_H_
#define CAMVEY_FUZZ_PTP_PHOTO_TERMS_H_

// Names, months and devices as the checks reckon them, written apart from the service's
// own functions so that a mistake in those shows as a finding instead of being shared:
// names compare with a to z folded and nothing else; a real month is six ASCII digits,
// its own folders begin with it and its neighbours' folders with the month before or
// after it; an Apple device names APPLE, IPHONE or IPAD.

#include <cstdio>
#include <string>

namespace camvey::fuzz {

// `text` with a to z upper-cased, every other unit as it is.
inline std::u16string Folded(std::u16string text) {
  for (char16_t& unit : text) {
    if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
  }
  return text;
}

// The folded name up to its last '.', the same photo under another extension
// (IMG_0001 for IMG_0001.HEIC and IMG_0001.JPG); the whole folded name when it has no
// '.', which can only make more objects share a stem.
inline std::u16string StemOf(const std::u16string& name) {
  const std::size_t dot = name.rfind(u'.');
  return Folded(dot == std::u16string::npos ? name : name.substr(0, dot));
}

// True when the folded name is "DCIM", a folder whose folders are camera-roll folders.
inline bool IsDcimName(const std::u16string& name) { return Folded(name) == u"DCIM"; }

// True when the folded folder name begins with `prefix`, which is not empty.
inline bool BeginsWithFolded(const std::u16string& folder_name, const std::u16string& prefix) {
  return !prefix.empty() && folder_name.size() >= prefix.size() &&
         Folded(folder_name.substr(0, prefix.size())) == prefix;
}

// True when the friendly name or the manufacturer, a to z folded, holds APPLE, IPHONE
// or IPAD: a device of the household.
inline bool NamesAppleDevice(const std::u16string& friendly_name,
                             const std::u16string& manufacturer) {
  for (const std::u16string& text : {Folded(friendly_name), Folded(manufacturer)}) {
    for (const char16_t* mark : {u"APPLE", u"IPHONE", u"IPAD"}) {
      if (text.find(mark) != std::u16string::npos) return true;
    }
  }
  return false;
}

// The month groups of one wanted month. Only a real month has any: exactly six ASCII
// digits, a year of 0001 to 9999 and a month of 01 to 12. Any other month ("", "2024",
// "2024 1", "202413") has no own folders and no neighbours.
struct MonthGroups {
  bool real = false;
  std::u16string own;     // the month itself
  std::u16string before;  // the month before, "%04d%02d"
  std::u16string after;   // the month after, likewise

  // True when the folded folder name begins with the month.
  bool IsOwn(const std::u16string& folder_name) const {
    return real && BeginsWithFolded(folder_name, own);
  }
  // True when it begins with the month before or after it.
  bool IsNeighbour(const std::u16string& folder_name) const {
    return real && (BeginsWithFolded(folder_name, before) || BeginsWithFolded(folder_name, after));
  }
};

inline MonthGroups GroupsOf(const std::u16string& month);

// True when the folder name begins with a real month: a folder a phone files that
// month's photos in.
inline bool IsMonthFolderName(const std::u16string& folder_name) {
  return folder_name.size() >= 6 && GroupsOf(folder_name.substr(0, 6)).real;
}

inline MonthGroups GroupsOf(const std::u16string& month) {
  MonthGroups groups;
  if (month.size() != 6) return groups;
  int digits[6] = {};
  for (std::size_t i = 0; i < 6; ++i) {
    if (month[i] < u'0' || month[i] > u'9') return groups;
    digits[i] = month[i] - u'0';
  }
  const int year = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
  const int number = digits[4] * 10 + digits[5];
  if (year < 1 || number < 1 || number > 12) return groups;
  // Months counted from January of year 0, written back as "%04d%02d" (000012 before
  // 000101, 1000001 after 999912).
  const auto written = [](int months) {
    char text[16];
    std::snprintf(text, sizeof(text), "%04d%02d", months / 12, months % 12 + 1);
    return std::u16string(text, text + std::char_traits<char>::length(text));
  };
  const int months = year * 12 + number - 1;
  groups.real = true;
  groups.own = month;
  groups.before = written(months - 1);
  groups.after = written(months + 1);
  return groups;
}

}  // namespace camvey::fuzz

#endif  // CAMVEY_FUZZ_PTP_PHOTO_TERMS_H_
