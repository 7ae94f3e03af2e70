#ifndef CAMVEY_PTP_DEVICE_MONTH_FOLDER_H_
#define CAMVEY_PTP_DEVICE_MONTH_FOLDER_H_

// Month arithmetic on the "%04d%02d" month strings of the request, and the tests that
// tell whether a phone folder (named after its month, as in "202401__") belongs to a
// month or to one of its two neighbours.

#include <string>
#include <vector>

namespace camvey::ptp {

// `month` moved by `offset` months, as "%04d%02d"; empty when `month` is not six code
// units long or its year (first four units) is not above 0 or its month number (last
// two) is not 1 to 12. Each part is read like _wtoi: leading white space, a sign,
// decimal digits up to the first other unit, none read as 0.
std::u16string ShiftMonth(const std::u16string& month, int offset);

// True for a month a photo can have been filed under: exactly six ASCII digits, a year
// of 0001 to 9999 and a month of 01 to 12. Only such a month has folders of its own and
// neighbours; a request's other months ("", "2024", "D", "2024 1") name no folder.
bool IsRealMonth(const std::u16string& month);

// True when the folder name, upper-cased a to z, begins with a real month: a folder in
// which the phone files the photos of that month ("202401__", "202401_a").
bool IsMonthFolderName(const std::u16string& upper_folder_name);

// The folders of a month's round: its own ("202401__", "202401_a" for 202401) or its
// neighbours' (names that begin with 202312 or 202402). Made once per month, asked of
// every folder of a camera roll. `month` must be a real month.
class MonthFolderMatch {
 public:
  enum class Kind { kOwn, kNeighbours };

  MonthFolderMatch(const std::u16string& month, Kind kind);

  // True when the folder name, already upper-cased a to z, is one of them.
  bool Matches(const std::u16string& upper_folder_name) const;

 private:
  std::vector<std::u16string> prefixes_;  // empty prefixes never match
};

// True when the folder name, upper-cased a to z, begins with `month`: a folder of the
// month ("202401__", "202401_a"). `month` must be a real month.
bool IsOwnMonthFolder(const std::u16string& folder_name, const std::u16string& month);

// True when the folder name, upper-cased a to z, begins with the month before or after
// `month`. `month` must be a real month.
bool IsNeighbourMonthFolder(const std::u16string& folder_name, const std::u16string& month);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_MONTH_FOLDER_H_
