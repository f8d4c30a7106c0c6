#include "platform/posix/posix_locale.h"

#include <gtest/gtest.h>

#include "runtime/international.h"

namespace qef {
namespace {

struct LocaleCase {
  const char* name;
  PosixLocaleFacts facts;
  std::map<uint32_t, std::string> expected;
};

TEST(PosixLocaleTest, AnswersTheItemsAsWindowsWould) {
  const LocaleCase cases[] = {
      {"en_US",
       {".", ",", "%m/%d/%Y", "%r", "%I:%M:%S %p", "AM", "PM"},
       {{LOCALE_SDECIMAL, "."},
        {LOCALE_STHOUSAND, ","},
        {LOCALE_STIME, ":"},
        {LOCALE_ITIME, "0"},
        {LOCALE_S1159, "AM"},
        {LOCALE_S2359, "PM"},
        {LOCALE_IDATE, "0"},
        {LOCALE_SDATE, "/"},
        {LOCALE_SSHORTDATE, "MM/dd/yyyy"}}},
      {"de_DE",
       {",", ".", "%d.%m.%Y", "%T", "", "", ""},
       {{LOCALE_SDECIMAL, ","},
        {LOCALE_STHOUSAND, "."},
        {LOCALE_STIME, ":"},
        {LOCALE_ITIME, "1"},
        {LOCALE_S1159, ""},
        {LOCALE_S2359, ""},
        {LOCALE_IDATE, "1"},
        {LOCALE_SDATE, "."},
        {LOCALE_SSHORTDATE, "dd.MM.yyyy"}}},
      {"C (no thousands separator)",
       {".", "", "%m/%d/%y", "%H:%M:%S", "%I:%M:%S %p", "AM", "PM"},
       {{LOCALE_SDECIMAL, "."},
        {LOCALE_STIME, ":"},
        {LOCALE_ITIME, "1"},
        {LOCALE_S1159, "AM"},
        {LOCALE_S2359, "PM"},
        {LOCALE_IDATE, "0"},
        {LOCALE_SDATE, "/"},
        {LOCALE_SSHORTDATE, "MM/dd/yy"}}},
      {"ISO dates via %F",
       {".", " ", "%F", "%R", "", "", ""},
       {{LOCALE_SDECIMAL, "."},
        {LOCALE_STHOUSAND, " "},
        {LOCALE_STIME, ":"},
        {LOCALE_ITIME, "1"},
        {LOCALE_S1159, ""},
        {LOCALE_S2359, ""},
        {LOCALE_IDATE, "2"},
        {LOCALE_SDATE, "-"},
        {LOCALE_SSHORTDATE, "yyyy-MM-dd"}}},
      {"a multibyte separator and an unknown order are not answered",
       {".", ",", "%Y\xE5\xB9\xB4%d\xE6\x97\xA5%m", "%H:%M", "", "", ""},
       {{LOCALE_SDECIMAL, "."},
        {LOCALE_STHOUSAND, ","},
        {LOCALE_STIME, ":"},
        {LOCALE_ITIME, "1"},
        {LOCALE_S1159, ""},
        {LOCALE_S2359, ""},
        {LOCALE_SSHORTDATE,
         "yyyy\xE5\xB9\xB4"
         "dd\xE6\x97\xA5MM"}}},
  };
  for (const LocaleCase& c : cases) {
    EXPECT_EQ(LocaleItemsFromFacts(c.facts), c.expected) << c.name;
  }
}

TEST(PosixLocaleTest, CountsTheNulAndRefusesATooSmallBuffer) {
  PosixLocale locale({",", ".", "%d.%m.%Y", "%T", "", "", ""});
  char buffer[64];
  EXPECT_EQ(locale.GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, buffer, 64), 11);
  EXPECT_STREQ(buffer, "dd.MM.yyyy");
  EXPECT_EQ(locale.GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_S1159, buffer, 64), 1)
      << "an empty designator is read as the NUL alone";
  EXPECT_EQ(locale.GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, buffer, 10), 0);
  EXPECT_EQ(locale.GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_IDIGITS, buffer, 64), 0)
      << "POSIX locales give no digits for plain numbers";
}

}  // namespace
}  // namespace qef
