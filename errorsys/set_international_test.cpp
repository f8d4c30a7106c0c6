#include "errorsys/set_international.h"

#include <gtest/gtest.h>

#include "errorsys/error.h"
#include "errorsys/error_test_fixture.h"
#include "runtime/error_block.h"
#include "runtime/international.h"

namespace qef {
namespace {

const Symbol kWindows("WINDOWS");
const Symbol kClipper("CLIPPER");
const Symbol kBinary("BINARY");

class SetInternationalTest : public ErrorSystemTest {
 protected:
  void UseLocale(std::map<uint32_t, std::string> items) {
    locale_ = HeadlessLocale(std::move(items));
  }
};

struct DateCase {
  const char* order;
  const char* separator;
  const char* pattern;
  const char* expected;
};

TEST_F(SetInternationalTest, BuildsTheDateFormatFromOrderSeparatorAndYearWidth) {
  const DateCase cases[] = {
      {"1", ".", "dd.MM.yyyy", "DD.MM.YYYY"},
      {"0", "/", "M/d/yy", "MM/DD/YY"},
      {"2", "-", "yyyy-MM-dd", "YYYY-MM-DD"},
      {"7", "/", "d/M/yyyy", "MM/DD/YYYY"},     // an unknown order reads month first
      {"1", ". ", "d. M. yyyy", "DD.MM.YYYY"},  // only the first character separates
  };
  for (const DateCase& c : cases) {
    UseLocale(
        {{LOCALE_IDATE, c.order}, {LOCALE_SDATE, c.separator}, {LOCALE_SSHORTDATE, c.pattern}});
    SetInternational(kWindows);
    EXPECT_EQ(SetDateFrmt(), c.expected) << c.pattern;
  }
}

TEST_F(SetInternationalTest, AppliesTheLocaleItems) {
  UseLocale({{LOCALE_SDECIMAL, ","},
             {LOCALE_STHOUSAND, ". "},
             {LOCALE_STIME, "."},
             {LOCALE_ITIME, "1"},
             {LOCALE_S1159, ""},
             {LOCALE_S2359, "PM"},
             {LOCALE_IDIGITS, "3"}});
  SetInternational(kWindows);
  EXPECT_EQ(SetDecimalSep(), static_cast<uint32_t>(','));
  EXPECT_EQ(SetThousandSep(), static_cast<uint32_t>('.')) << "the first character only";
  EXPECT_EQ(SetTimeSep(), static_cast<uint32_t>('.'));
  EXPECT_FALSE(SetAmPm()) << "ITIME 1 is the 24-hour clock";
  EXPECT_EQ(SetAMExt(), " ") << "an empty designator gives one blank";
  EXPECT_EQ(SetPMExt(), " PM");
  EXPECT_EQ(SetDecimal(), 3u);
}

TEST_F(SetInternationalTest, UsesEveryFallbackWhenNothingCanBeRead) {
  SetDecimalSep('x');
  SetInternational(kWindows);
  EXPECT_EQ(SetDecimalSep(), static_cast<uint32_t>('.'));
  EXPECT_EQ(SetThousandSep(), static_cast<uint32_t>(','));
  EXPECT_EQ(SetTimeSep(), static_cast<uint32_t>(':'));
  EXPECT_TRUE(SetAmPm());
  EXPECT_EQ(SetAMExt(), " am");
  EXPECT_EQ(SetPMExt(), " pm");
  EXPECT_EQ(SetDateFrmt(), "MM/DD/YY");
  EXPECT_EQ(SetDecimal(), 2u);
}

TEST_F(SetInternationalTest, ReadsTheTenItemsInOrderWithTheUsersLocaleAndSixtyFour) {
  SetInternational(kWindows);
  EXPECT_EQ(locale_.id_queries, 1);
  std::vector<uint32_t> items;
  for (const auto& read : locale_.reads) {
    items.push_back(read.item);
    EXPECT_EQ(read.locale, 0x0407u);
    EXPECT_EQ(read.size, 64);
  }
  EXPECT_EQ(items,
            (std::vector<uint32_t>{0x0E, 0x0F, 0x1E, 0x23, 0x28, 0x29, 0x21, 0x1D, 0x1F, 0x11}));
}

TEST_F(SetInternationalTest, WindowsModeTurnsFourDigitYearsOnEvenForATwoDigitPattern) {
  UseLocale({{LOCALE_SSHORTDATE, "dd/MM/yy"}, {LOCALE_IDATE, "1"}});
  SetInternational(kWindows);
  EXPECT_EQ(SetDateFrmt(), "DD/MM/YY");
  EXPECT_TRUE(SetCentury());
  EXPECT_EQ(SetEpoch(), 1910u);
  EXPECT_EQ(_SetDict(), 1u);
  EXPECT_EQ(_SetIntl(), 1u);
  EXPECT_EQ(DToC({2024, 3, 7}), "07/03/2024");
}

TEST_F(SetInternationalTest, WithoutArgumentReturnsTheModeAndChangesNothing) {
  Usual block = Usual::Block([](const Usual&) { return Usual(); });
  ErrorBlock(block);
  SetDecimalSep(',');
  EXPECT_EQ(SetInternational(), kClipper);
  EXPECT_EQ(SetDecimalSep(), static_cast<uint32_t>(','));
  EXPECT_TRUE(locale_.reads.empty());
  EXPECT_EQ(ErrorBlock().Type(), CODEBLOCK);
}

TEST_F(SetInternationalTest, ReadsTheStoredModeBack) {
  const std::pair<uint32_t, Symbol> cases[] = {
      {0, kClipper}, {1, kWindows}, {2, kBinary}, {3, kClipper}, {99, kClipper}};
  for (const auto& [stored, mode] : cases) {
    _SetIntl(stored);
    EXPECT_EQ(SetInternational(), mode) << stored;
  }
}

TEST_F(SetInternationalTest, ClipperAfterWindowsReturnsWindowsAndKeepsTheEpoch) {
  UseLocale({{LOCALE_SDECIMAL, ","}, {LOCALE_ITIME, "0"}});
  SetInternational(kWindows);
  EXPECT_EQ(SetInternational(kClipper), kWindows);
  EXPECT_EQ(SetDecimalSep(), static_cast<uint32_t>('.'));
  EXPECT_FALSE(SetAmPm());
  EXPECT_EQ(SetAMExt(), "");
  EXPECT_EQ(SetPMExt(), "");
  EXPECT_EQ(SetDateFrmt(), "MM/DD/YY");
  EXPECT_FALSE(SetCentury());
  EXPECT_EQ(SetEpoch(), 1910u);
  EXPECT_EQ(_SetIntl(), 0u);
  EXPECT_EQ(_SetDict(), 0u);
  EXPECT_EQ(SetInternational(), kClipper);
}

TEST_F(SetInternationalTest, BinaryStoresModeNumberTwo) {
  EXPECT_EQ(SetInternational(kBinary), kClipper);
  EXPECT_EQ(_SetIntl(), 2u);
  EXPECT_EQ(_SetDict(), 2u);
  EXPECT_EQ(SetInternational(), kBinary);
}

TEST_F(SetInternationalTest, AnUnknownModeRaisesToTheCurrentBlockAndChangesNothing) {
  std::shared_ptr<Error> raised;
  Usual block = Usual::Block([&](const Usual& error) {
    raised = AsError(error);
    EXPECT_TRUE(CanBreak() == false) << "no recovery point is set yet";
    return Usual::Logic(true);
  });
  ErrorBlock(block);
  _SetIntl(1);
  SetDecimalSep(',');
  EXPECT_EQ(SetInternational(Symbol("Ansi")), kWindows);
  ASSERT_NE(raised, nullptr);
  EXPECT_EQ(raised->SubSystem, "International");
  EXPECT_EQ(raised->GenCode, 30u);
  EXPECT_TRUE(raised->CanDefault);
  EXPECT_EQ(raised->Arg, "ANSI");
  EXPECT_EQ(SetDecimalSep(), static_cast<uint32_t>(','));
  EXPECT_EQ(_SetIntl(), 1u);
  EXPECT_TRUE(locale_.reads.empty());
}

TEST_F(SetInternationalTest, AnErrorWhileApplyingBreaksOutQuietlyAndRestoresTheBlock) {
  int handled = 0;
  Usual block = Usual::Block([&](const Usual&) {
    ++handled;
    return Usual();
  });
  ErrorBlock(block);
  // An empty date separator would put a NUL into the date format, which the setter refuses.
  UseLocale({{LOCALE_SDECIMAL, ","}, {LOCALE_SDATE, ""}, {LOCALE_IDIGITS, "4"}});
  EXPECT_EQ(SetInternational(kWindows), kClipper);
  EXPECT_EQ(handled, 0) << "the temporary block handled it, without a message";
  EXPECT_TRUE(ui_.error_boxes.empty());
  EXPECT_EQ(SetDecimalSep(), static_cast<uint32_t>(',')) << "settings made before stay";
  EXPECT_EQ(SetDateFrmt(), "MM/DD/YY");
  EXPECT_EQ(SetDecimal(), 2u) << "settings after the error are not made";
  EXPECT_FALSE(SetCentury());
  EXPECT_FALSE(CanBreak()) << "the recovery point is gone";
  ErrorBlock().Eval(Usual());
  EXPECT_EQ(handled, 1) << "the saved block is back";
}

}  // namespace
}  // namespace qef
