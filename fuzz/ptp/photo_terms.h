#ifndef CAMVEY_FUZZ_PTP_PHOTO_TERMS_H_
#define CAMVEY_FUZZ_PTP_PHOTO_TERMS_H_

// Names and months as the checks reckon them, written apart from the service's own
// functions so that a mistake in those shows as a finding instead of being shared:
// names compare with a to z folded and nothing else; a month's own folders begin with
// the month, its neighbours' folders with the month before or after it.

#include <string>

namespace camvey::fuzz {

// `text` with a to z upper-cased, every other unit as it is.
std::u16string Folded(std::u16string text);

// The folded name up to its last '.', the same photo under another extension
// (IMG_0001.HEIC, IMG_0001.JPG); empty for a name without one or with nothing before it.
std::u16string StemOf(const std::u16string& name);

// True when the folded name is "DCIM", a folder whose folders are camera-roll folders.
bool IsDcimName(const std::u16string& name);

// The folder-name beginnings of one wanted month.
struct MonthPrefixes {
  std::u16string own;     // the month folded; empty for an empty month
  std::u16string before;  // the month before, "%04d%02d"; empty unless the month is real
  std::u16string after;   // the month after, likewise

  // True when the folded folder name begins with `own`.
  bool IsOwn(const std::u16string& folder_name) const;
  // True when it begins with `before` or `after`.
  bool IsNeighbour(const std::u16string& folder_name) const;
};

// A month is real when it is six units, its first four read as a year above 0 and its
// last two as 1 to 12, each read as the service reads numbers: blanks, a sign, digits.
MonthPrefixes PrefixesOf(const std::u16string& month);

}  // namespace camvey::fuzz

#endif  // CAMVEY_FUZZ_PTP_PHOTO_TERMS_H_
