#include "runtime/directory_functions.h"

#include <gtest/gtest.h>

#include "runtime/directory_search.h"
#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "runtime/international.h"
#include "runtime/runtime.h"

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

class TimeTextTest : public ::testing::Test {
 protected:
  TimeTextTest() : runtime_(files_, settings_, ui_) {}
  HeadlessFileSystem files_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  ScopedRuntime runtime_;
};

TEST_F(TimeTextTest, TStringFollowsSeparatorAndClock) {
  SetAMExt(" AM");
  SetPMExt(" PM");
  const struct {
    uint32_t separator;
    bool am_pm;
    uint32_t seconds;
    const char* text;
  } cases[] = {
      {':', false, 0, "00:00:00"},       {':', false, 47109, "13:05:09"},
      {'.', false, 86399, "23.59.59"},   {':', false, 86400 + 61, "00:01:01"},
      {':', true, 0, "12:00:00 AM"},     {':', true, 3599, "12:59:59 AM"},
      {':', true, 43200, "12:00:00 PM"}, {':', true, 47109, "01:05:09 PM"},
      {'-', true, 39600, "11-00-00 AM"},
  };
  for (const auto& c : cases) {
    SetTimeSep(c.separator);
    SetAmPm(c.am_pm);
    EXPECT_EQ(TString(c.seconds), c.text) << c.seconds;
  }
}

TEST_F(TimeTextTest, NullDateShowsTheFormatWithBlanks) {
  SetDateFrmt("DD.MM.YYYY");
  SetCentury(true);
  EXPECT_EQ(DToC(Date{0, 0, 0}), "  .  .    ");
  SetCentury(false);
  EXPECT_EQ(DToC(Date{0, 0, 0}), "  .  .  ");
  EXPECT_EQ(AsString(Usual::DateValue(Date{2024, 3, 7})), "07.03.24");
  EXPECT_EQ(AsString(Usual::Uint64(4294967296u)), "4294967296");
}

}  // namespace
}  // namespace qef
