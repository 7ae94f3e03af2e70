#ifndef CAMVEY_TEXT_WIDE_TEXT_H_
#define CAMVEY_TEXT_WIDE_TEXT_H_

// The service's text operations. Channel text is UTF-8 in std::string; device text is
// UTF-16 in std::u16string on every platform, so ordering and case folding behave the
// same everywhere.

#include <optional>
#include <string>

namespace camvey::text {

// UTF-8 to UTF-16. Never fails: each ill-formed part of the input becomes U+FFFD.
// On Windows the system converter decides how many U+FFFD an ill-formed run yields;
// elsewhere each maximal ill-formed subpart yields one.
std::u16string Utf8ToWide(const std::string& text);

// What a conversion from UTF-16 makes of an unpaired surrogate.
enum class IllFormedUtf16 {
  kReplace,  // it becomes U+FFFD, so that every text converts: device and channel text
  kReject,   // the whole text is refused: an argument of the command line, which start-up
             // then passes on empty
};

// UTF-16 to UTF-8 under `policy`: nothing when `policy` is kReject and the text holds an
// unpaired surrogate. On Windows the system converter converts; it takes no text longer
// than 2^31 - 1 units, which converts to empty text.
std::optional<std::string> WideToUtf8(const std::u16string& text, IllFormedUtf16 policy);

// UTF-16 to UTF-8. Never fails: an unpaired surrogate becomes U+FFFD.
std::string WideToUtf8(const std::u16string& text);

// One code unit upper-cased: a to z become A to Z, every other unit stays.
constexpr char16_t UpperCaseUnit(char16_t unit) {
  return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - u'a' + u'A') : unit;
}

// Upper-cases the letters a to z, one UTF-16 code unit at a time; every other unit,
// accented letters included, is left as it is. The length never changes.
std::u16string UpperCaseWide(std::u16string text);

}  // namespace camvey::text

#endif  // CAMVEY_TEXT_WIDE_TEXT_H_
