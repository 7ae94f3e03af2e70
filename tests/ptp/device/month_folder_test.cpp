#include "ptp/device/month_folder.h"

#include <gtest/gtest.h>

#include "ptp/wide_text.h"

namespace camvey::ptp {
namespace {

TEST(MonthFolderTest, ShiftsMonthsAcrossYears) {
  struct Case {
    const char16_t* month;
    int offset;
    const char16_t* shifted;
  };
  const Case cases[] = {
      {u"202401", -1, u"202312"},
      {u"202412", 1, u"202501"},
      {u"202406", 1, u"202407"},
      {u"999912", 1, u"1000001"},
      {u"000101", -1, u"000012"},
      {u"202401", -13, u"202212"},
      {u"202401", 24, u"202601"},
      {u"202412", -12, u"202312"},
      {u"2024 1", 1, u"202402"},
      {u" 12401", 0, u"012401"},  // the year " 124" reads as 124
      {u"2024+1", 1, u"202402"},
      // Not a usable month.
      {u"202413", 1, u""},
      {u"202400", 1, u""},
      {u"2024", 1, u""},
      {u"2024011", 1, u""},
      {u"000001", 1, u""},
      {u"abcdef", 1, u""},
      {u"-20401", 1, u""},
      {u"2024-1", 1, u""},
      {u"", 1, u""},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(ShiftMonth(test.month, test.offset), test.shifted)
        << WideToUtf8(test.month) << " by " << test.offset;
  }
}

TEST(MonthFolderTest, MatchesTheMonthAndItsNeighbours) {
  struct Case {
    const char16_t* folder;
    const char16_t* month;
    bool matches;
    bool own_month;
  };
  const Case cases[] = {
      {u"202401__", u"202401", true, true},
      {u"202401__", u"202402", true, false},
      {u"202401__", u"202312", true, false},
      {u"202401__", u"202403", false, false},
      {u"202401", u"202401", true, true},
      {u"20240", u"202401", false, false},  // shorter than every candidate
      {u"202401__", u"2024", true, true},   // no neighbours, but its own prefix
      {u"202412__", u"2024", true, true},
      {u"202312__", u"2024", false, false},
      {u"2024ab", u"2024AB", true, true},  // folded a to z on both sides
      {u"x202401", u"202401", false, false},
      {u"202501__", u"202412", true, false},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(IsMonthFolder(test.folder, test.month), test.matches)
        << WideToUtf8(test.folder) << " for " << WideToUtf8(test.month);
    EXPECT_EQ(IsOwnMonthFolder(test.folder, test.month), test.own_month)
        << WideToUtf8(test.folder) << " for " << WideToUtf8(test.month);
  }
}

}  // namespace
}  // namespace camvey::ptp
