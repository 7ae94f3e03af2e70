#ifndef CAMVEY_FUZZ_PTP_PHOTO_TERMS_H_
#define CAMVEY_FUZZ_PTP_PHOTO_TERMS_H_

// Names and months as the checks reckon them, written apart from the service's own
// functions so that a mistake in those shows as a finding instead of being shared:
// names compare with a to z folded and nothing else; a month's own folders begin with
// the month, its neighbours' folders with the month before or after it.

#include <cstdio>
#include <string>
#include <string_view>

namespace camvey::fuzz {

// `text` with a to z upper-cased, every other unit as it is.
inline std::u16string Folded(std::u16string text) {
  for (char16_t& unit : text) {
    if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
  }
  return text;
}

// The folded name up to its last '.', the same photo under another extension
// (IMG_0001.HEIC, IMG_0001.JPG); empty for a name without one or with nothing before it.
inline std::u16string StemOf(const std::u16string& name) {
  const std::size_t dot = name.rfind(u'.');
  if (dot == std::u16string::npos || dot == 0) return {};
  return Folded(name.substr(0, dot));
}

// True when the folded name is "DCIM", a folder whose folders are camera-roll folders.
inline bool IsDcimName(const std::u16string& name) { return Folded(name) == u"DCIM"; }

// True when the folded folder name begins with `prefix`, which is not empty.
inline bool BeginsWithFolded(const std::u16string& folder_name, const std::u16string& prefix) {
  return !prefix.empty() && folder_name.size() >= prefix.size() &&
         Folded(folder_name.substr(0, prefix.size())) == prefix;
}

// The folder-name beginnings of one wanted month.
struct MonthPrefixes {
  std::u16string own;     // the month folded; empty for an empty month
  std::u16string before;  // the month before, "%04d%02d"; empty unless the month is real
  std::u16string after;   // the month after, likewise

  // True when the folded folder name begins with `own`.
  bool IsOwn(const std::u16string& folder_name) const { return BeginsWithFolded(folder_name, own); }
  // True when it begins with `before` or `after`.
  bool IsNeighbour(const std::u16string& folder_name) const {
    return BeginsWithFolded(folder_name, before) || BeginsWithFolded(folder_name, after);
  }
};

// A number at the start of a month's part: blanks (space, tab to carriage return), a
// sign, then decimal digits up to the first other unit; none read as 0.
inline long long MonthPartNumber(std::u16string_view part) {
  std::size_t at = 0;
  while (at < part.size() && (part[at] == u' ' || (part[at] >= u'\t' && part[at] <= u'\r'))) ++at;
  const bool minus = at < part.size() && part[at] == u'-';
  if (at < part.size() && (part[at] == u'-' || part[at] == u'+')) ++at;
  long long number = 0;
  while (at < part.size() && part[at] >= u'0' && part[at] <= u'9') {
    number = number * 10 + (part[at++] - u'0');
  }
  return minus ? -number : number;
}

// A month is real when it is six units, its first four read as a year above 0 and its
// last two as 1 to 12, each read as the service reads numbers (MonthPartNumber).
inline MonthPrefixes PrefixesOf(const std::u16string& month) {
  MonthPrefixes prefixes;
  prefixes.own = Folded(month);
  if (month.size() != 6) return prefixes;
  const std::u16string_view text(month);
  const long long year = MonthPartNumber(text.substr(0, 4));
  const long long number = MonthPartNumber(text.substr(4, 2));
  if (year <= 0 || number < 1 || number > 12) return prefixes;
  // Months counted from January of year 0, written back as "%04d%02d".
  const auto written = [](long long months) {
    char text_out[32];
    std::snprintf(text_out, sizeof(text_out), "%04lld%02lld", months / 12, months % 12 + 1);
    return std::u16string(text_out, text_out + std::char_traits<char>::length(text_out));
  };
  const long long months = year * 12 + number - 1;
  prefixes.before = written(months - 1);
  prefixes.after = written(months + 1);
  return prefixes;
}

}  // namespace camvey::fuzz

#endif  // CAMVEY_FUZZ_PTP_PHOTO_TERMS_H_
