#include "platform/file_time.h"

#include <gtest/gtest.h>

namespace qef {
namespace {

TEST(FileTimeToCalendarTest, SplitsFileTimesAsWindowsDoes) {
  const struct {
    uint64_t ticks;
    SYSTEMTIME expected;
  } cases[] = {
      {0, {1601, 1, 1, 1, 0, 0, 0, 0}},
      {116444736000000000, {1970, 1, 4, 1, 0, 0, 0, 0}},
      {125912447999990000, {2000, 1, 6, 1, 23, 59, 59, 999}},  // 2000-01-01 23:59:59.999
      {125962560000000000, {2000, 2, 2, 29, 0, 0, 0, 0}},      // leap day of a 400th year
      {133542831090000000, {2024, 3, 4, 7, 11, 5, 9, 0}},
      {0x7FFFFFFFFFFFFFFF, {30828, 9, 4, 14, 2, 48, 5, 477}},  // the latest Windows accepts
  };
  for (const auto& c : cases) {
    SYSTEMTIME result{};
    ASSERT_TRUE(FileTimeToCalendar(MakeFileTime(c.ticks), &result)) << c.ticks;
    EXPECT_EQ(result.wYear, c.expected.wYear) << c.ticks;
    EXPECT_EQ(result.wMonth, c.expected.wMonth) << c.ticks;
    EXPECT_EQ(result.wDayOfWeek, c.expected.wDayOfWeek) << c.ticks;
    EXPECT_EQ(result.wDay, c.expected.wDay) << c.ticks;
    EXPECT_EQ(result.wHour, c.expected.wHour) << c.ticks;
    EXPECT_EQ(result.wMinute, c.expected.wMinute) << c.ticks;
    EXPECT_EQ(result.wSecond, c.expected.wSecond) << c.ticks;
    EXPECT_EQ(result.wMilliseconds, c.expected.wMilliseconds) << c.ticks;
  }
}

TEST(FileTimeToCalendarTest, RefusesValuesFromTwoToTheSixtyThird) {
  SYSTEMTIME result{};
  result.wYear = 7;
  EXPECT_FALSE(FileTimeToCalendar(MakeFileTime(uint64_t{1} << 63), &result));
  EXPECT_FALSE(FileTimeToCalendar(MakeFileTime(~uint64_t{0}), &result));
  EXPECT_EQ(result.wYear, 7);
}

}  // namespace
}  // namespace qef
