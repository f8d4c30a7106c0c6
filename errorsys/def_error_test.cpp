#include "errorsys/def_error.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "errorsys/def_error_gen.h"
#include "errorsys/error.h"
#include "errorsys/error_test_fixture.h"
#include "errorsys/set_international.h"
#include "runtime/error_block.h"
#include "runtime/international.h"
#include "runtime/startup.h"

namespace qef {
namespace {

class DefErrorTest : public ErrorSystemTest {
 protected:
  DefErrorTest() {
    ErrorBlock(Usual::Block([](const Usual& error) { return DefError(error); }));
  }

  static std::shared_ptr<Error> MakeError(uint32_t gen_code) {
    auto error = std::make_shared<Error>();
    error->GenCode = gen_code;
    error->Severity = ES_ERROR;
    return error;
  }
  std::string Log() const { return fs_.Content("/logs/VOERROR.LOG"); }
};

TEST_F(DefErrorTest, ASharingViolationThatCanDefaultEndsQuietly) {
  auto error = MakeError(EG_OPEN);
  error->OsCode = kSharingViolation;
  error->CanDefault = true;
  Usual result = DefError(Usual::Obj(error));
  ASSERT_EQ(result.Type(), LOGIC);
  EXPECT_FALSE(result.AsLogic());
  EXPECT_TRUE(NetErr());
  EXPECT_TRUE(ui_.tones.empty());
  EXPECT_TRUE(ui_.error_boxes.empty());
  EXPECT_TRUE(fs_.opened.empty() && fs_.created.empty()) << "no log";
}

TEST_F(DefErrorTest, GeneralCodeFortyThatCanDefaultEndsQuietlyWhateverTheOsCode) {
  auto error = MakeError(EG_NETWORK);
  error->OsCode = 5;
  error->CanDefault = true;
  EXPECT_FALSE(DefError(Usual::Obj(error)).AsLogic());
  EXPECT_TRUE(NetErr());
  EXPECT_TRUE(ui_.error_boxes.empty());
}

TEST_F(DefErrorTest, ASharingViolationThatCannotDefaultReachesTheBox) {
  auto error = MakeError(EG_OPEN);
  error->OsCode = kSharingViolation;
  EXPECT_THROW(DefError(Usual::Obj(error)), QuitProgram);
  EXPECT_FALSE(NetErr());
  EXPECT_EQ(ui_.error_boxes.size(), 1u);
}

TEST_F(DefErrorTest, AWarningWithAPointerSubstituteIsCaptionedWarningButLoggedAsSeverityThree) {
  auto error = MakeError(EG_ARG);
  error->Severity = ES_WARNING;
  error->SubstituteType = PTR;
  error->CanSubstitute = true;
  ui_.QueueErrorReply(ERRORBOX_FIRST);
  Usual result = DefError(Usual::Obj(error));
  EXPECT_EQ(result.Type(), PTR) << "the empty pointer is the substitute";
  ASSERT_EQ(ui_.error_boxes.size(), 1u);
  EXPECT_EQ(ui_.error_boxes[0].caption, "WARNING");
  EXPECT_EQ(ui_.error_boxes[0].text.rfind("Error Code:  1 [ ARGUMENT ERROR ]\r\n", 0), 0u);
  EXPECT_EQ(error->Severity, 3u);
  EXPECT_NE(Log().find("Severity        :3\r\n"), std::string::npos);
}

TEST_F(DefErrorTest, AnErrorIsCaptionedError) {
  ui_.QueueErrorReply(ERRORBOX_RETRY);
  DefError(Usual::Obj(MakeError(EG_ARG)));
  EXPECT_EQ(ui_.error_boxes.at(0).caption, "ERROR");
}

struct ChoiceCase {
  const char* name;
  bool can_default;
  bool can_substitute;
  bool can_retry;
  uint32_t gen_code;
  uint32_t first;
  uint32_t retry;
};

TEST_F(DefErrorTest, OffersTheChoicesTheErrorAllows) {
  const ChoiceCase cases[] = {
      {"nothing", false, false, false, EG_ARG, 0, 0},
      {"default", true, false, false, EG_ARG, 1, 0},
      {"substitute", false, true, false, EG_ARG, 1, 0},
      {"retry", false, false, true, EG_ARG, 0, 2},
      {"retry with code 14", false, false, true, EG_NOVAR, 0, 0},
  };
  for (const ChoiceCase& c : cases) {
    ui_.error_boxes.clear();
    auto error = MakeError(c.gen_code);
    error->CanDefault = c.can_default;
    error->CanSubstitute = c.can_substitute;
    error->CanRetry = c.can_retry;
    ui_.QueueErrorReply(ERRORBOX_RETRY);
    DefError(Usual::Obj(error));
    ASSERT_EQ(ui_.error_boxes.size(), 1u) << c.name;
    EXPECT_EQ(ui_.error_boxes[0].first, c.first) << c.name;
    EXPECT_EQ(ui_.error_boxes[0].retry, c.retry) << c.name;
    EXPECT_EQ(ui_.error_boxes[0].flags, 0x80000000u) << c.name;
  }
}

TEST_F(DefErrorTest, CodeFourteenTakesTheRetryAwayAlsoInTheLog) {
  auto error = MakeError(EG_NOVAR);
  error->CanRetry = true;
  ui_.QueueErrorReply(ERRORBOX_RETRY);
  DefError(Usual::Obj(error));
  EXPECT_FALSE(error->CanRetry);
  EXPECT_NE(Log().find("CanRetry        :.F.\r\n"), std::string::npos);
}

TEST_F(DefErrorTest, TheThirdArgumentTellsWhetherARecoveryPointExists) {
  BeginSequence([&] { DefError(Usual::Obj(MakeError(EG_ARG))); });
  ASSERT_EQ(ui_.error_boxes.size(), 1u);
  EXPECT_EQ(ui_.error_boxes[0].flags, 0x80000003u);
}

TEST_F(DefErrorTest, AnObjectOfAnotherClassBecomesErrorTwentyEight) {
  ErrorFunc(DefErrorGen);
  ui_.QueueErrorReply(ERRORBOX_FIRST);
  Usual result = DefError(Usual::Obj(std::make_shared<Object>()));
  EXPECT_FALSE(result.AsLogic()) << "it can default";
  ASSERT_EQ(ui_.error_boxes.size(), 1u);
  EXPECT_EQ(ui_.error_boxes[0].text,
            "Error Code:  28 [ NOT AN ERROR OBJECT ]\r\n"
            "Function: DEFERROR\r\n"
            "Argument: {OBJECT}\r\n"
            "Argument Number: 1\r\n");
  EXPECT_EQ(ui_.error_boxes[0].first, 1u);
}

TEST_F(DefErrorTest, NoObjectAtAllBecomesErrorTwentyEightEvenWithoutAnErrorFunction) {
  ui_.QueueErrorReply(ERRORBOX_FIRST);
  DefError(Usual::Long(7));
  ASSERT_EQ(ui_.error_boxes.size(), 1u);
  EXPECT_NE(ui_.error_boxes[0].text.find("Argument: 7\r\n"), std::string::npos);
}

TEST_F(DefErrorTest, TheFirstChoiceDefaultsOrSubstitutes) {
  auto can_default = MakeError(EG_ARG);
  can_default->CanDefault = true;
  ui_.QueueErrorReply(ERRORBOX_FIRST);
  Usual result = DefError(Usual::Obj(can_default));
  ASSERT_EQ(result.Type(), LOGIC);
  EXPECT_FALSE(result.AsLogic());

  auto can_substitute = MakeError(EG_ARG);
  can_substitute->CanSubstitute = true;
  can_substitute->SubstituteType = STRING;
  ui_.QueueErrorReply(ERRORBOX_FIRST);
  result = DefError(Usual::Obj(can_substitute));
  ASSERT_EQ(result.Type(), STRING);
  EXPECT_EQ(result.AsText(), "");
}

TEST_F(DefErrorTest, TheRetryChoiceReturnsTrue) {
  ui_.QueueErrorReply(ERRORBOX_RETRY);
  Usual result = DefError(Usual::Obj(MakeError(EG_ARG)));
  ASSERT_EQ(result.Type(), LOGIC);
  EXPECT_TRUE(result.AsLogic());
}

TEST_F(DefErrorTest, AnyOtherReplyWithoutRecoveryPointEndsWithTheGeneralCode) {
  auto error = MakeError(EG_WRITE);
  ui_.QueueErrorReply(ERRORBOX_QUIT);
  int exit_code = RunGuarded([&] {
    DefError(Usual::Obj(error));
    return 0;
  });
  EXPECT_EQ(exit_code, static_cast<int>(EG_WRITE));
  EXPECT_EQ(state().math_resets, 1);
  EXPECT_NE(Log().find("GenCode         :Write error\r\n"), std::string::npos)
      << "the entry is on disk before the end";
}

TEST_F(DefErrorTest, AnyOtherReplyWithARecoveryPointBreaksCarryingTheError) {
  auto error = MakeError(EG_WRITE);
  std::optional<Usual> carried = BeginSequence([&] {
    DefError(Usual::Obj(error));
    ADD_FAILURE() << "control does not come back";
  });
  ASSERT_TRUE(carried.has_value());
  EXPECT_EQ(AsError(*carried), error);
  EXPECT_EQ(state().math_resets, 1);
  EXPECT_EQ(ErrorLevel(), 0);
}

TEST_F(DefErrorTest, TheCallStackListsAtMostFiveLevels) {
  struct Case {
    int depth;
    int lines;
  };
  for (Case c : {Case{0, 0}, Case{2, 2}, Case{5, 5}, Case{8, 5}}) {
    ui_.error_boxes.clear();
    std::vector<std::unique_ptr<Activation>> chain;
    for (int i = 0; i < c.depth; ++i) {
      chain.push_back(std::make_unique<Activation>("LEVEL" + std::to_string(c.depth - i),
                                                   static_cast<uint32_t>(10 + i)));
    }
    ui_.QueueErrorReply(ERRORBOX_RETRY);
    DefError(Usual::Obj(MakeError(EG_ARG)));
    const std::string& text = ui_.error_boxes.at(0).text;
    size_t header = text.find("CallStack: \r\n");
    if (c.lines == 0) {
      EXPECT_EQ(header, std::string::npos);
      continue;
    }
    ASSERT_NE(header, std::string::npos) << c.depth;
    std::string expected;
    for (int level = 1; level <= c.lines; ++level) {
      expected += "LEVEL" + std::to_string(level) +
                  " (Line: " + std::to_string(10 + c.depth - level) + ")\r\n";
    }
    EXPECT_EQ(text.substr(header + 13), expected) << c.depth;
  }
}

TEST_F(DefErrorTest, BeepsThreeTonesWhenTheBeepIsOn) {
  ui_.QueueErrorReply(ERRORBOX_RETRY);
  DefError(Usual::Obj(MakeError(EG_ARG)));
  EXPECT_EQ(ui_.tones, (std::vector<std::pair<uint32_t, uint32_t>>{{440, 1}, {494, 1}, {523, 1}}));
}

TEST_F(DefErrorTest, BeepOffPlaysNoTone) {
  SetBeep(false);
  ui_.QueueErrorReply(ERRORBOX_RETRY);
  DefError(Usual::Obj(MakeError(EG_ARG)));
  EXPECT_TRUE(ui_.tones.empty());
  EXPECT_EQ(ui_.error_boxes.size(), 1u);
}

TEST_F(DefErrorTest, ErrorLogOffTouchesNoFile) {
  SetErrorLog(false);
  ui_.QueueErrorReply(ERRORBOX_RETRY);
  DefError(Usual::Obj(MakeError(EG_ARG)));
  EXPECT_TRUE(fs_.opened.empty());
  EXPECT_TRUE(fs_.created.empty());
  EXPECT_EQ(ui_.error_boxes.size(), 1u);
}

TEST_F(DefErrorTest, TheLogEntryHoldsTheMessageWithItsCallStack) {
  Activation caller("PROCESSEF", 120);
  fs_.AddFile("/logs/VOERROR.LOG", "old\r\n");
  ui_.QueueErrorReply(ERRORBOX_RETRY);
  DefError(Usual::Obj(MakeError(EG_READ)));
  std::string log = Log();
  EXPECT_EQ(log.rfind("old\r\n\r\n*****", 0), 0u);
  EXPECT_NE(log.find("--------------\r\n"
                     "Error Code:  23 [ READ ERROR ]\r\n"
                     "CallStack: \r\n"
                     "PROCESSEF (Line: 120)\r\n"
                     "\r\n"
                     "Error Object created:\r\n"),
            std::string::npos);
  EXPECT_EQ(ui_.error_boxes.at(0).text,
            "Error Code:  23 [ READ ERROR ]\r\nCallStack: \r\nPROCESSEF (Line: 120)\r\n");
}

TEST_F(DefErrorTest, ALogThatCannotBeWrittenStillShowsTheBox) {
  fs_.refuse_create = {"/logs/VOERROR.LOG"};
  ui_.QueueErrorReply(ERRORBOX_RETRY);
  DefError(Usual::Obj(MakeError(EG_ARG)));
  EXPECT_EQ(ui_.error_boxes.size(), 1u);
}

class StartUpTest : public ErrorSystemTest {};

TEST_F(StartUpTest, InstallsDefErrorAndAppliesTheUsersLocale) {
  locale_.Set(LOCALE_SDECIMAL, ",");
  ErrorSysInit();
  EXPECT_EQ(ErrorBlock().Type(), CODEBLOCK);
  EXPECT_EQ(SetInternational(), Symbol("WINDOWS"));
  EXPECT_EQ(SetDecimalSep(), static_cast<uint32_t>(','));
  ui_.QueueErrorReply(ERRORBOX_RETRY);
  EXPECT_TRUE(ErrorBlock().Eval(Usual::Obj(std::make_shared<Error>())).AsLogic())
      << "the block passes the error to DefError";
  EXPECT_EQ(ui_.error_boxes.size(), 1u);
}

TEST_F(StartUpTest, ABlockInstalledBeforeIsLeftAndTheSettingsStay) {
  int calls = 0;
  ErrorBlock(Usual::Block([&](const Usual&) {
    ++calls;
    return Usual();
  }));
  ErrorSysInit();
  EXPECT_EQ(SetInternational(), Symbol("CLIPPER"));
  EXPECT_TRUE(locale_.reads.empty());
  ErrorBlock().Eval(Usual());
  EXPECT_EQ(calls, 1);
}

TEST_F(StartUpTest, RegistersDefErrorGenOnlyWithOneRunTimeInstance) {
  ErrorStructure es{};
  es.gen_code = 5;
  ErrorFuncInit();
  EXPECT_TRUE(ErrorBuild(&es).IsNil()) << "no instance counted: nothing registered";
  RuntimeInstance one;
  {
    RuntimeInstance two;
    ErrorFuncInit();
    EXPECT_TRUE(ErrorBuild(&es).IsNil()) << "two instances: nothing registered";
  }
  ErrorFuncInit();
  ASSERT_NE(AsError(ErrorBuild(&es)), nullptr);
  EXPECT_EQ(AsError(ErrorBuild(&es))->GenCode, 5u);
}

class RunTimeErrorTest : public DefErrorTest {
 protected:
  RunTimeErrorTest() { ErrorFunc(DefErrorGen); }
};

TEST_F(RunTimeErrorTest, AnEscapingExceptionEndsInTheBoxAndTheLog) {
  int exit_code = RunGuarded([]() -> int { throw std::runtime_error("disk on fire"); });
  EXPECT_EQ(exit_code, static_cast<int>(EG_EXCEPTION));
  ASSERT_EQ(ui_.error_boxes.size(), 1u);
  EXPECT_EQ(ui_.error_boxes[0].first, 0u);
  EXPECT_EQ(ui_.error_boxes[0].retry, 0u);
  EXPECT_NE(ui_.error_boxes[0].text.find("Description: disk on fire\r\n"), std::string::npos);
  EXPECT_NE(Log().find("Description     :disk on fire\r\n"), std::string::npos);
}

TEST_F(RunTimeErrorTest, ASystemExceptionIsLoggedWithSubCode5333) {
  int exit_code = RunGuarded([] {
    ExceptionRecord record;
    record.code = 0xC0000005u;
    record.parameter_count = 2;
    record.information = 1;
    RaiseSystemException(record);
    return 0;
  });
  EXPECT_EQ(exit_code, static_cast<int>(EG_SYSTEM_EXCEPTION));
  std::string log = Log();
  EXPECT_NE(log.find("SubCode         :5333\r\nGenCode         :System exception\r\n"
                     "ExceptionCode   :C0000005\r\nExceptionFlags  :00000000\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("ParamNumber     :2\r\nExceptionInfo   :00000001\r\n"), std::string::npos);
}

TEST_F(RunTimeErrorTest, AnErrorRaisedWhileTheHandlerRunsEndsTheProgramWithoutRecursion) {
  int calls = 0;
  ErrorBlock(Usual::Block([&](const Usual& error) {
    ++calls;
    ErrorStructure again{};
    again.gen_code = EG_ARG;
    RaiseError(again);
    return DefError(error);
  }));
  ErrorStructure first{};
  first.gen_code = EG_READ;
  int exit_code = RunGuarded([&] {
    RaiseError(first);
    return 0;
  });
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(exit_code, 1);
  EXPECT_TRUE(ui_.error_boxes.empty());
  EXPECT_EQ(state().handlers_running, 0);
}

TEST_F(RunTimeErrorTest, ARunTimeOperationRetriesWhenTheHandlerSaysSo) {
  ErrorStructure error_structure{};
  error_structure.gen_code = EG_OPEN;
  error_structure.can_retry = 1;
  ui_.QueueErrorReply(ERRORBOX_RETRY);
  ui_.QueueErrorReply(ERRORBOX_QUIT);
  int tries = 0;
  int exit_code = RunGuarded([&] {
    for (;;) {
      ++tries;
      error_structure.tries = static_cast<uint32_t>(tries);
      Usual answer = RaiseError(error_structure);
      if (!(answer.Type() == LOGIC && answer.AsLogic())) return 0;
    }
  });
  EXPECT_EQ(tries, 2);
  EXPECT_EQ(exit_code, static_cast<int>(EG_OPEN));
}

}  // namespace
}  // namespace qef

namespace qef {
namespace {

class ThrowingApp : public Object {};

TEST(ProgramErrorTest, AnExceptionEscapingFromStartEndsInTheErrorBoxAndItsExitCode) {
  HeadlessFileSystem fs;
  HeadlessSettings settings;
  HeadlessUi ui;
  Program program;
  program.find_resource = [table = BuildSymbolTable({"App", "Start"})](
                              int, int) -> std::optional<std::string_view> { return table; };
  program.register_classes = [](ClassRegistry& registry) {
    return registry.Register(
        Symbol("App"), [] { return std::make_unique<ThrowingApp>(); },
        {{Symbol("Start"), [](Object&) { throw std::out_of_range("record past the end"); }}});
  };
  program.init_procedures[kErrorSystem] = ErrorSysInit;
  program.init_procedures[kErrorFunction] = ErrorFuncInit;
  std::vector<std::string> trace;
  EXPECT_EQ(RunProgram(program, {fs, settings, ui}, &trace), static_cast<int>(EG_EXCEPTION));
  ASSERT_EQ(ui.error_boxes.size(), 1u);
  EXPECT_EQ(ui.error_boxes[0].caption, "ERROR");
  EXPECT_NE(ui.error_boxes[0].text.find("Description: record past the end\r\n"), std::string::npos);
  EXPECT_EQ(trace.back(), "RTExit") << "the run-time still shuts down";
  EXPECT_EQ(_GetRTCount(), 0);
}

}  // namespace
}  // namespace qef
