#ifndef CAMVEY_PTP_DEVICE_MONTH_FOLDER_H_
#define CAMVEY_PTP_DEVICE_MONTH_FOLDER_H_

// Month arithmetic on the "%04d%02d" month strings of the request, and the test that
// tells whether a phone folder (named after its month, as in "202401__") belongs to a
// month or to one of its two neighbours.

#include <string>

namespace camvey::ptp {

// `month` moved by `offset` months, as "%04d%02d"; empty when `month` is not six code
// units long or its year (first four units) is not above 0 or its month number (last
// two) is not 1 to 12. Each part is read like _wtoi: leading white space, a sign,
// decimal digits up to the first other unit, none read as 0.
std::u16string ShiftMonth(const std::u16string& month, int offset);

// True when the folder name, upper-cased a to z, begins with `month`, the month before
// it or the month after it (each upper-cased the same way). Candidates that are empty
// or longer than the name never match. `month` must not be empty.
bool IsMonthFolder(const std::u16string& folder_name, const std::u16string& month);

// True when the folder name, upper-cased a to z, begins with `month` itself (upper-cased
// the same way): a folder of the month, not of a neighbour. `month` must not be empty.
bool IsOwnMonthFolder(const std::u16string& folder_name, const std::u16string& month);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_MONTH_FOLDER_H_
