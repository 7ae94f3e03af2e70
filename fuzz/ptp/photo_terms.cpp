#include "fuzz/ptp/photo_terms.h"

#include <cstdio>
#include <string_view>

namespace camvey::fuzz {
namespace {

// A number at the start of `part`: blanks (space, tab to carriage return), a sign,
// then decimal digits up to the first other unit; none read as 0.
long long NumberAt(std::u16string_view part) {
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

// Months counted from January of year 0, written back as "%04d%02d".
std::u16string MonthNumbered(long long months) {
  char text[32];
  std::snprintf(text, sizeof(text), "%04lld%02lld", months / 12, months % 12 + 1);
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

bool Begins(const std::u16string& folder_name, const std::u16string& prefix) {
  return !prefix.empty() && folder_name.size() >= prefix.size() &&
         Folded(folder_name.substr(0, prefix.size())) == prefix;
}

}  // namespace

std::u16string Folded(std::u16string text) {
  for (char16_t& unit : text) {
    if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
  }
  return text;
}

std::u16string StemOf(const std::u16string& name) {
  const std::size_t dot = name.rfind(u'.');
  if (dot == std::u16string::npos || dot == 0) return {};
  return Folded(name.substr(0, dot));
}

bool IsDcimName(const std::u16string& name) { return Folded(name) == u"DCIM"; }

bool MonthPrefixes::IsOwn(const std::u16string& folder_name) const {
  return Begins(folder_name, own);
}

bool MonthPrefixes::IsNeighbour(const std::u16string& folder_name) const {
  return Begins(folder_name, before) || Begins(folder_name, after);
}

MonthPrefixes PrefixesOf(const std::u16string& month) {
  MonthPrefixes prefixes;
  prefixes.own = Folded(month);
  if (month.size() != 6) return prefixes;
  const std::u16string_view text(month);
  const long long year = NumberAt(text.substr(0, 4));
  const long long number = NumberAt(text.substr(4, 2));
  if (year <= 0 || number < 1 || number > 12) return prefixes;
  const long long months = year * 12 + number - 1;
  prefixes.before = MonthNumbered(months - 1);
  prefixes.after = MonthNumbered(months + 1);
  return prefixes;
}

}  // namespace camvey::fuzz
