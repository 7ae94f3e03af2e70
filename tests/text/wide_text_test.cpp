#include "text/wide_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace camvey::text {
namespace {

struct TextCase {
  const char* label;
  std::string utf8;
  std::u16string utf16;
};

// Well-formed text, which must convert the same both ways on every platform.
const TextCase kWellFormed[] = {
    {"empty", "", u""},
    {"ascii", "IMG_0001.JPG", u"IMG_0001.JPG"},
    {"two bytes", "caf\xC3\xA9", u"caf\u00E9"},
    {"three bytes",
     "\xE2\x82\xAC"
     "5",
     u"\u20AC"
     u"5"},
    {"four bytes", "\xF0\x9F\x98\x80", u"\U0001F600"},
    {"highest", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
    {"embedded nul", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
};

TEST(WideTextTest, ConvertsWellFormedTextBothWays) {
  for (const TextCase& test : kWellFormed) {
    EXPECT_EQ(Utf8ToWide(test.utf8), test.utf16) << test.label;
    EXPECT_EQ(WideToUtf8(test.utf16), test.utf8) << test.label;
  }
}

TEST(WideTextTest, RoundTripsEveryNonSurrogateUnit) {
  std::u16string all;
  for (char32_t unit = 1; unit <= 0xFFFF; ++unit) {
    if (unit < 0xD800 || unit > 0xDFFF) all.push_back(static_cast<char16_t>(unit));
  }
  all += u"\U00010000\U0001F4F7\U0010FFFF";
  EXPECT_EQ(Utf8ToWide(WideToUtf8(all)), all);
}

// Ill-formed input on which every converter agrees: one U+FFFD per bad part, and the
// good parts around it kept.
TEST(WideTextTest, ReplacesIllFormedUtf8) {
  const TextCase cases[] = {
      {"invalid byte",
       "a\xFF"
       "b",
       u"a\uFFFD"
       u"b"},
      {"lone continuation",
       "\x80"
       "x",
       u"\uFFFD"
       u"x"},
      {"lead before ascii",
       "\xC3"
       "A",
       u"\uFFFD"
       u"A"},
      {"lead at end", "IMG\xC3", u"IMG\uFFFD"},
  };
  for (const TextCase& test : cases) EXPECT_EQ(Utf8ToWide(test.utf8), test.utf16) << test.label;
}

#if !defined(_WIN32)
// The project's own converter: one U+FFFD per maximal ill-formed subpart.
TEST(WideTextTest, ReplacesEachMaximalSubpartOnce) {
  const TextCase cases[] = {
      {"truncated three bytes",
       "\xE2\x82"
       "A",
       u"\uFFFD"
       u"A"},
      {"truncated four bytes at end", "\xF0\x9F\x98", u"\uFFFD"},
      {"overlong", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"overlong three bytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"five byte lead", "\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
  };
  for (const TextCase& test : cases) EXPECT_EQ(Utf8ToWide(test.utf8), test.utf16) << test.label;
}
#endif

// The service replaces an unpaired surrogate; the shell's command line refuses it.
TEST(WideTextTest, ReplacesOrRefusesUnpairedSurrogates) {
  const TextCase cases[] = {
      {"lone high at end", "a\xEF\xBF\xBD", u"a\xD800"},
      {"lone low",
       "\xEF\xBF\xBD"
       "b",
       u"\xDC00"
       u"b"},
      {"high before ascii",
       "\xEF\xBF\xBD"
       "A",
       u"\xD83D"
       u"A"},
      {"reversed pair", "\xEF\xBF\xBD\xEF\xBF\xBD", u"\xDE00\xD83D"},
  };
  for (const TextCase& test : cases) {
    EXPECT_EQ(WideToUtf8(test.utf16), test.utf8) << test.label;
    EXPECT_EQ(WideToUtf8(test.utf16, IllFormedUtf16::kReject), std::nullopt) << test.label;
  }
  for (const TextCase& test : kWellFormed) {
    EXPECT_EQ(WideToUtf8(test.utf16, IllFormedUtf16::kReject), test.utf8) << test.label;
  }
}

TEST(WideTextTest, UpperCasesOnlyAToZ) {
  EXPECT_EQ(UpperCaseWide(u"img_0001.jpg"), u"IMG_0001.JPG");
  EXPECT_EQ(UpperCaseWide(u"azAZ`{@["), u"AZAZ`{@[");
  // Accented, sharp s, y with diaeresis, fullwidth and Greek letters keep their case.
  const std::u16string kept = u"\u00E9\u00DF\u00FF\uFF41\u03B1\u0131";
  EXPECT_EQ(UpperCaseWide(kept), kept);
  EXPECT_EQ(UpperCaseWide(u"x\xD83D"), u"X\xD83D");
  EXPECT_EQ(UpperCaseWide(u""), u"");
}

}  // namespace
}  // namespace camvey::text
