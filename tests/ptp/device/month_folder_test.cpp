#include "ptp/device/month_folder.h"

#include <gtest/gtest.h>

#include "text/wide_text.h"

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
        << text::WideToUtf8(test.month) << " by " << test.offset;
  }
}

// Only six digits with a month of 01 to 12 in a year from 0001 name folders: "1", "D"
// or "20" would otherwise make 100APPLE, DCIM or every 20xx folder the photo's month.
TEST(MonthFolderTest, OnlyARealMonthHasFolders) {
  for (const char16_t* month : {u"202401", u"000112", u"999901"}) {
    EXPECT_TRUE(IsRealMonth(month)) << text::WideToUtf8(month);
  }
  for (const char16_t* month :
       {u"", u"1", u"D", u"20", u"2024", u"2024 1", u"2024+1", u" 12401", u"202413", u"202400",
        u"000001", u"2024011", u"abcdef", u"\uFF12\uFF10\uFF12\uFF14\uFF10\uFF11"}) {
    EXPECT_FALSE(IsRealMonth(month)) << text::WideToUtf8(month);
  }
}

TEST(MonthFolderTest, MatchesTheMonthAndItsNeighbours) {
  struct Case {
    const char16_t* folder;
    const char16_t* month;
    bool own_month;
    bool neighbour;
  };
  const Case cases[] = {
      {u"202401__", u"202401", true, false},  {u"202401_a", u"202401", true, false},
      {u"202401__", u"202402", false, true},  {u"202401__", u"202312", false, true},
      {u"202401__", u"202403", false, false}, {u"202401", u"202401", true, false},
      {u"20240", u"202401", false, false},  // shorter than every candidate
      {u"x202401", u"202401", false, false},  {u"202501__", u"202412", false, true},
      {u"1000001_", u"999912", false, true},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(IsOwnMonthFolder(test.folder, test.month), test.own_month)
        << text::WideToUtf8(test.folder) << " for " << text::WideToUtf8(test.month);
    EXPECT_EQ(IsNeighbourMonthFolder(test.folder, test.month), test.neighbour)
        << text::WideToUtf8(test.folder) << " for " << text::WideToUtf8(test.month);
  }
}

}  // namespace
}  // namespace camvey::ptp
