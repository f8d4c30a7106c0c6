#include "runtime/directory_functions.h"

#include <gtest/gtest.h>

#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "runtime/directory_search.h"
#include "runtime/international.h"
#include "runtime/runtime.h"

namespace qef {
namespace {

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
