#include "runtime/error_block.h"

#include <gtest/gtest.h>

#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "runtime/international.h"
#include "runtime/runtime.h"
#include "runtime/runtime_state.h"

namespace qef {
namespace {

class RunTimeServicesTest : public ::testing::Test {
 protected:
  RunTimeServicesTest() : runtime_(fs_, settings_, ui_) {
    runtime_.runtime().state().clock = [] { return LocalDateTime{2009, 11, 30, 0, 7, 9}; };
  }
  HeadlessFileSystem fs_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  ScopedRuntime runtime_;
};

TEST_F(RunTimeServicesTest, ABreakReachesTheInnermostRecoveryPoint) {
  EXPECT_FALSE(CanBreak());
  std::optional<Usual> inner;
  std::optional<Usual> outer = BeginSequence([&] {
    inner = BeginSequence([] {
      EXPECT_TRUE(CanBreak());
      LabelJump(Usual::Long(1));
    });
    EXPECT_TRUE(CanBreak());
  });
  ASSERT_TRUE(inner.has_value());
  EXPECT_EQ(inner->AsLong(), 1);
  EXPECT_FALSE(outer.has_value()) << "the outer sequence ended normally";
  EXPECT_FALSE(CanBreak());
}

TEST_F(RunTimeServicesTest, QuitEndsTheGuardedRunWithTheErrorLevel) {
  int exit_code = RunGuarded([] {
    ErrorLevel(17);
    _Quit();
    return 0;
  });
  EXPECT_EQ(exit_code, 17);
}

TEST_F(RunTimeServicesTest, AnExceptionWithNoErrorBlockEndsWithoutAHandler) {
  EXPECT_EQ(RunGuarded([]() -> int { throw std::logic_error("x"); }), 1);
  EXPECT_TRUE(ui_.error_boxes.empty());
}

TEST_F(RunTimeServicesTest, ProcNameAndProcLineWalkTheActivations) {
  Activation outer("OUTER", 10);
  {
    Activation inner("INNER", 20);
    inner.Line(21);
    EXPECT_EQ(ProcName(0), "INNER");
    EXPECT_EQ(ProcLine(0), 21u);
    EXPECT_EQ(ProcName(1), "OUTER");
    EXPECT_EQ(ProcLine(1), 10u);
  }
  EXPECT_EQ(ProcName(0), "OUTER");
  EXPECT_EQ(ProcName(1), "");
  EXPECT_EQ(ProcLine(1), 0u);
}

TEST_F(RunTimeServicesTest, ANestedRunTimeKeepsTheErrorBlockAndSettings) {
  ErrorBlock(Usual::Block([](const Usual&) { return Usual::Long(3); }));
  SetDecimalSep(',');
  HeadlessUi other_ui;
  {
    ScopedRuntime nested(fs_, settings_, other_ui);
    EXPECT_EQ(ErrorBlock().Eval(Usual()).AsLong(), 3);
    EXPECT_EQ(SetDecimalSep(), static_cast<uint32_t>(','));
  }
}

TEST_F(RunTimeServicesTest, DatesAndTimesFollowTheSettings) {
  struct Case {
    const char* format;
    bool century;
    bool am_pm;
    uint32_t time_sep;
    const char* date;
    const char* time;
  } cases[] = {
      {"MM/DD/YY", false, false, ':', "11/30/09", "00:07:09"},
      {"DD.MM.YYYY", true, true, '.', "30.11.2009", "12.07.09 AM"},
      {"YYYY-MM-DD", false, false, ':', "09-11-30", "00:07:09"},
  };
  SetAMExt(" AM");
  for (const Case& c : cases) {
    SetDateFrmt(c.format);
    SetCentury(c.century);
    SetAmPm(c.am_pm);
    SetTimeSep(c.time_sep);
    EXPECT_EQ(DToC(Today()), c.date);
    EXPECT_EQ(Time(), c.time);
  }
}

TEST_F(RunTimeServicesTest, ABadDateFormatIsRaisedAndLeavesTheFormat) {
  int raised = 0;
  ErrorBlock(Usual::Block([&](const Usual&) {
    ++raised;
    return Usual::Logic(false);
  }));
  SetDateFrmt("dd/mm/yyyy");
  SetDateFrmt("DD/MM");
  SetDateFrmt(std::string("DD\0MM\0YY", 8));
  EXPECT_EQ(raised, 2);
  EXPECT_EQ(SetDateFrmt(), "DD/MM/YYYY");
}

TEST_F(RunTimeServicesTest, NumbersFollowTheDecimalSettings) {
  SetDecimal(3);
  SetDecimalSep(',');
  EXPECT_EQ(NTrim(Usual::Float(2.5)), "2,500");
  EXPECT_EQ(NTrim(Usual::Dword(4294967295u)), "4294967295");
  EXPECT_EQ(AsString(Usual::Logic(true)), ".T.");
  EXPECT_EQ(AsString(Usual::Ptr(nullptr)), "0x00000000");
  EXPECT_EQ(AsString(Usual()), "NIL");
}

}  // namespace
}  // namespace qef
