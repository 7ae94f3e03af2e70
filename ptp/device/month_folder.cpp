#include "ptp/device/month_folder.h"

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "text/wide_text.h"

namespace camvey::ptp {
namespace {

bool IsWhiteSpace(char16_t unit) { return unit == u' ' || (unit >= u'\t' && unit <= u'\r'); }

// The integer at the start of `text`, read like _wtoi.
std::int64_t ReadLeadingInteger(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsWhiteSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
  }
  return negative ? -value : value;
}

// Empty candidates never match.
bool BeginsWith(const std::u16string& name, const std::u16string& candidate) {
  return !candidate.empty() && candidate.size() <= name.size() &&
         name.compare(0, candidate.size(), candidate) == 0;
}

}  // namespace

std::u16string ShiftMonth(const std::u16string& month, int offset) {
  if (month.size() != 6) return {};
  const std::u16string_view text(month);
  std::int64_t year = ReadLeadingInteger(text.substr(0, 4));
  std::int64_t number = ReadLeadingInteger(text.substr(4, 2));
  if (year <= 0 || number < 1 || number > 12) return {};

  number += offset;
  if (number < 1) {
    const std::int64_t years = -number / 12 + 1;
    year -= years;
    number += 12 * years;
  } else if (number > 12) {
    const std::int64_t years = (number - 13) / 12 + 1;
    year += years;
    number -= 12 * years;
  }
  char formatted[48];
  std::snprintf(formatted, sizeof(formatted), "%04lld%02lld", static_cast<long long>(year),
                static_cast<long long>(number));
  return text::Utf8ToWide(formatted);
}

bool IsRealMonth(const std::u16string& month) {
  if (month.size() != 6) return false;
  for (const char16_t unit : month) {
    if (unit < u'0' || unit > u'9') return false;
  }
  const std::int64_t year = ReadLeadingInteger(std::u16string_view(month).substr(0, 4));
  const std::int64_t number = ReadLeadingInteger(std::u16string_view(month).substr(4, 2));
  return year >= 1 && number >= 1 && number <= 12;
}

bool IsMonthFolderName(const std::u16string& upper_folder_name) {
  return upper_folder_name.size() >= 6 && IsRealMonth(upper_folder_name.substr(0, 6));
}

MonthFolderMatch::MonthFolderMatch(const std::u16string& month, Kind kind) {
  if (kind == Kind::kOwn) {
    prefixes_ = {month};
  } else {
    prefixes_ = {ShiftMonth(month, -1), ShiftMonth(month, 1)};
  }
}

bool MonthFolderMatch::Matches(const std::u16string& upper_folder_name) const {
  for (const std::u16string& prefix : prefixes_) {
    if (BeginsWith(upper_folder_name, prefix)) return true;
  }
  return false;
}

bool IsOwnMonthFolder(const std::u16string& folder_name, const std::u16string& month) {
  return MonthFolderMatch(month, MonthFolderMatch::Kind::kOwn)
      .Matches(text::UpperCaseWide(folder_name));
}

bool IsNeighbourMonthFolder(const std::u16string& folder_name, const std::u16string& month) {
  return MonthFolderMatch(month, MonthFolderMatch::Kind::kNeighbours)
      .Matches(text::UpperCaseWide(folder_name));
}

}  // namespace camvey::ptp
