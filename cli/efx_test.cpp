#include "cli/efx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "exportfile/export_file.h"
#include "exportfile/repair.h"
#include "exportfile/testing/records.h"
#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "progress/win_progress.h"
#include "ui/console_ui.h"

namespace qef {
namespace {

using testing::HeaderRecord;
using testing::Record;

std::string ReadAll(std::FILE* file) {
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  return text;
}

class EfxTest : public ::testing::Test {
 protected:
  EfxTest() : out_(std::tmpfile()), err_(std::tmpfile()) {}
  ~EfxTest() override {
    std::fclose(out_);
    std::fclose(err_);
  }

  int Run(const std::vector<std::string>& args, UserInterface& ui) {
    EfxEnvironment env{fs_, settings_, ui, out_, err_};
    return RunEfx(args, env);
  }
  int Run(const std::vector<std::string>& args) { return Run(args, ui_); }

  static std::string App(const std::string& name) {
    return HeaderRecord() + Record(AEF_REC_APPNAME, name);
  }

  HeadlessFileSystem fs_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  std::FILE* out_;
  std::FILE* err_;
};

TEST_F(EfxTest, UsageErrorsExitWithTwo) {
  for (auto args : std::vector<std::vector<std::string>>{
           {}, {"fix"}, {"frobnicate"}, {"fix", "--bad"}, {"fix", "--colour", "a.AEF"}}) {
    EXPECT_EQ(Run(args), kExitUsage);
  }
  EXPECT_NE(ReadAll(err_).find("Usage: efx fix"), std::string::npos);
  EXPECT_TRUE(fs_.opened.empty());
}

TEST_F(EfxTest, HelpAndVersion) {
  EXPECT_EQ(Run({"--help"}), kExitOk);
  EXPECT_EQ(Run({"--version"}), kExitOk);
  std::string out = ReadAll(out_);
  EXPECT_NE(out.find("Exit status"), std::string::npos);
  EXPECT_NE(out.find("efx (Quillon Export File Fix) 1.1"), std::string::npos);
}

TEST_F(EfxTest, RepairsEveryFileAndPrintsTheCount) {
  fs_.AddFile("a.AEF", App("a:b"));
  fs_.AddFile("b.MEF", App("c"));
  EXPECT_EQ(Run({"fix", "a.AEF", "b.MEF"}), kExitOk);
  EXPECT_EQ(ReadAll(out_), "2 .FIX files were successfully written.\n");
  EXPECT_EQ(fs_.Content("a.fix"), App("a-b"));
  EXPECT_NE(std::find(ui_.log.begin(), ui_.log.end(), "Caption=Quillon Export File Fix v1.1"),
            ui_.log.end());
}

TEST_F(EfxTest, AFailedFileExitsWithOneAndItsMessageGoesToStandardError) {
  fs_.AddFile("a.AEF", App("a"));
  ConsoleUi console(err_, false, nullptr);
  EXPECT_EQ(Run({"fix", "a.AEF", "gone.AEF", "a.AEF"}, console), kExitFailed);
  EXPECT_EQ(ReadAll(out_), "1 .FIX file was successfully written.\n");
  EXPECT_NE(ReadAll(err_).find("\nError reading gone.AEF\n"), std::string::npos);
}

TEST_F(EfxTest, CancelExitsWith130AndRemovesTheCopyUnderWay) {
  fs_.AddFile("a.AEF", App("a:b"));
  ui_.ScheduleEvent(1, CommandEvent(IDCANCEL));
  EXPECT_EQ(Run({"fix", "a.AEF"}), kExitCancelled);
  EXPECT_FALSE(fs_.Exists("a.fix"));
  EXPECT_EQ(ReadAll(out_), "");
}

TEST_F(EfxTest, InterruptReachesTheWindowAsItsCancelCommand) {
  fs_.AddFile("a.AEF", App("a:b"));
  volatile std::sig_atomic_t interrupted = 1;
  ConsoleUi console(err_, false, &interrupted);
  EXPECT_EQ(Run({"fix", "a.AEF"}, console), kExitCancelled);
  EXPECT_EQ(interrupted, 0);
  EXPECT_FALSE(fs_.Exists("a.fix"));
}

TEST_F(EfxTest, BadAndGoodOnTheCommandLineReplaceTheStoredValues) {
  settings_.Set(kSettingsKey, "Bad", "x");
  settings_.Set(kSettingsKey, "Good", "y");
  struct Case {
    std::vector<std::string> options;
    const char* expected;
  } cases[] = {
      {{}, "a:by"},
      {{"--bad", "ab"}, "y:-x"},  // the stored Good has one partner; the other gets a hyphen
      {{"--bad=ab", "--good=bc"}, "c:cx"},
      {{"--good", "z"}, "a:bz"},
      {{"--bad", " "}, "aybx"},  // blank: the default set, paired with the stored Good
  };
  for (const Case& c : cases) {
    fs_.AddFile("s.AEF", App("a:bx"));
    std::vector<std::string> args = {"fix"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back("s.AEF");
    EXPECT_EQ(Run(args), kExitOk);
    EXPECT_EQ(fs_.Content("s.fix"), App(c.expected)) << c.expected;
  }
}

// No byte of the text output acts on a terminal: line feeds only, no other control character.
bool OnlyLineFeeds(const std::string& text) {
  return std::none_of(text.begin(), text.end(), [](char c) {
    auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\n') || byte == 0x7F;
  });
}

TEST_F(EfxTest, NamesWithControlCharactersReachTheTextOutputEscaped) {
  const std::string evil = "evil\x1b[2J\x1b]0;owned\x1b\\\x7f\x9b";
  const std::string shown = "evil\\x1b[2J\\x1b]0;owned\\x1b\\\\\\x7f\\x9b";
  fs_.AddFile(evil + ".AEF", App("a:b"));
  fs_.AddFile(evil + ".MEF", "not an export file at all, but long enough to be tested as one");
  struct Case {
    std::vector<std::string> args;
    int status;
  };
  const Case cases[] = {
      {{"fix", evil + ".MEF"}, kExitFailed},
      {{"fix", evil + "gone.AEF"}, kExitFailed},
      {{"check", evil + ".AEF", evil + ".MEF"}, kExitCannotProcess},
      {{"dump", evil + ".MEF"}, kExitFailed},
      {{"fix", "--colour" + evil}, kExitUsage},
      {{"dump", "--type", evil, "x.AEF"}, kExitUsage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ConsoleUi console(err, false, nullptr);
    EfxEnvironment env{fs_, settings_, console, out, err, TerminalEncoding::kUtf8};
    EXPECT_EQ(RunEfx(c.args, env), c.status);
    std::string text = ReadAll(out) + ReadAll(err);
    std::fclose(out);
    std::fclose(err);
    EXPECT_TRUE(OnlyLineFeeds(text)) << text;
    EXPECT_NE(text.find(shown), std::string::npos) << text;
  }
  EXPECT_FALSE(fs_.Exists(evil + ".fix"));
}

TEST_F(EfxTest, DoubleDashEndsTheOptions) {
  fs_.AddFile("--bad", App("q:"));
  EXPECT_EQ(Run({"fix", "--", "--bad"}), kExitOk);
  EXPECT_EQ(fs_.Content("--bad.fix"), App("q-"));
}

}  // namespace
}  // namespace qef
