#include "app/app.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/app_texts.h"
#include "app/program.h"
#include "app/program_symbols.h"
#include "exportfile/export_file.h"
#include "exportfile/testing/records.h"
#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "progress/win_progress.h"
#include "runtime/runtime.h"
#include "runtime/startup.h"

namespace qef {
namespace {

using testing::HeaderRecord;
using testing::Record;

std::string ExportFile(const std::string& app_name) {
  return HeaderRecord() + Record(AEF_REC_APPNAME, app_name);
}

class StartTest : public ::testing::Test {
 protected:
  StartTest() : runtime_(fs_, settings_, ui_) {}

  // Runs the main flow; the progress window stays with the app.
  void Start() { app_.Start(); }

  std::vector<std::string> Finals() const {
    std::vector<std::string> texts;
    for (const auto& box : ui_.boxes) {
      if (box.type == (MB_ICONINFORMATION | MB_OK)) texts.push_back(box.text);
    }
    return texts;
  }

  HeadlessFileSystem fs_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  ScopedRuntime runtime_;
  App app_;
};

TEST_F(StartTest, ShowsTheWindowThenTheIntroBoxOwnedByIt) {
  ui_.QueueReply(BOXREPLYCANCEL);
  Start();
  WinProgress* window = app_.ProgressWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_FALSE(ui_.boxes.empty());
  const auto& intro = ui_.boxes[0];
  EXPECT_EQ(intro.owner, window);
  EXPECT_EQ(intro.caption, "Quillon Export File Fix v1.1");
  EXPECT_EQ(intro.type, 65u);
  EXPECT_EQ(intro.text, kIntroText);
  EXPECT_EQ(intro.text.substr(0, 46), "The CA-VO 2.5 version control features can exp");
  EXPECT_NE(intro.text.find("names. \r\n\r\nThis program"), std::string::npos);
  // The window got its title and was shown before the box.
  auto caption = std::find(ui_.log.begin(), ui_.log.end(), "Caption=Quillon Export File Fix v1.1");
  auto shown = std::find(ui_.log.begin(), ui_.log.end(), "Show");
  auto box = std::find_if(ui_.log.begin(), ui_.log.end(),
                          [](const std::string& line) { return line.rfind("Box ", 0) == 0; });
  EXPECT_LT(caption, shown);
  EXPECT_LT(shown, box);
}

TEST_F(StartTest, AnythingButOkInTheIntroEndsAtOnce) {
  for (int reply : {BOXREPLYCANCEL, 0, 1, 2, 6}) {
    HeadlessUi ui;
    ScopedRuntime runtime(fs_, settings_, ui);
    ui.QueueReply(reply);
    App app;
    app.Start();
    EXPECT_EQ(ui.boxes.size(), 1u) << reply;
    EXPECT_TRUE(ui.open_dialogs.empty()) << reply;
  }
  EXPECT_TRUE(fs_.opened.empty());
  EXPECT_TRUE(fs_.created.empty());
}

TEST_F(StartTest, TheFileDialogIsSetUpAsTheUtilityNeedsIt) {
  Start();  // the dialog is cancelled: no scripted files
  ASSERT_EQ(ui_.open_dialogs.size(), 1u);
  const OpenDialogRequest& dialog = ui_.open_dialogs[0];
  EXPECT_EQ(dialog.owner, app_.ProgressWindow());
  EXPECT_EQ(dialog.caption, "Select Export Files to fix");
  EXPECT_EQ(dialog.initial_file_name, "*.AEF;*.MEF");
  EXPECT_EQ(dialog.options, OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY);
  EXPECT_EQ(dialog.patterns, (std::vector<std::string>{"*.AEF;*.MEF", "*.*"}));
  EXPECT_EQ(dialog.descriptions, (std::vector<std::string>{"Export Files", "All files"}));
  EXPECT_EQ(dialog.filter_index, 1);
  EXPECT_EQ(ui_.boxes.size(), 1u) << "a cancelled dialog gets no final box";
}

TEST_F(StartTest, RepairsTheChosenFilesInTheDialogsOrder) {
  fs_.AddFile("/w/b.AEF", ExportFile("b:"));
  fs_.AddFile("/w/a.MEF", ExportFile("a<"));
  ui_.QueueFiles(std::vector<std::string>{"/w/b.AEF", "/w/a.MEF"});
  Start();
  EXPECT_EQ(fs_.opened, (std::vector<std::string>{"/w/b.AEF", "/w/a.MEF"}));
  EXPECT_EQ(fs_.Content("/w/b.fix"), ExportFile("b-"));
  EXPECT_EQ(fs_.Content("/w/a.fix"), ExportFile("a-"));
  EXPECT_EQ(Finals(), std::vector<std::string>{
                          "Finished!\r\n\r\n2 .FIX files were successfully written.\r\n\r\n" +
                          std::string(kClosingLine)});
}

// exportfix has no options: the stored StrictNames turns the strict repair of names on, and
// with it the module counter by names as other readers compare them.
TEST_F(StartTest, StoredStrictNamesMendsNamesWindowsRejects) {
  std::string modules;
  std::string mended;
  for (auto [name, strict] : std::vector<std::pair<std::string, std::string>>{
           {"CO-", "CO-"},
           {"CON", "CO1"},
           {"con.prg", "co-.prg"},
           {"Print.", "Print-"},
           {"Print-", "Print1"},
           {"Tab\tName", "Tab-Name"},
           {"COM\xB9", "COM-"},
           {"Fine:Name", "Fine-Name"},
           {"A . ", "A---"},
           {"lpt0", "lpt-"},
           {"NULL", "NULL"},
           // Names as other readers compare them.
           {std::string("Report/Print\0\x01", 14), std::string("Report-Print\0\x01", 14)},
           {"Report:Print", "Report-Prin1"},
           {"R\xE9sum\xE9", "R\xE9sum\xE9"},
           {"R\xC9SUM\xC9", "R\xC9SUM1"}}) {
    modules += Record(AEF_REC_MODNAME, testing::ModuleBody(name));
    mended += Record(AEF_REC_MODNAME, testing::ModuleBody(strict));
  }
  fs_.AddFile("/w/n.AEF", ExportFile("My App.") + modules);
  settings_.Set("Quillon Pack 2\\Export Fix", "StrictNames", "1");
  ui_.QueueFiles(std::vector<std::string>{"/w/n.AEF"});
  Start();
  EXPECT_EQ(fs_.Content("/w/n.fix"), ExportFile("My App-") + mended);
}

TEST_F(StartTest, FinalMessageNamesTheCount) {
  struct Case {
    size_t files;
    bool last_fails;
    std::string sentence;
  } cases[] = {
      {1, true, ""},
      {1, false, "1 .FIX file was successfully written."},
      {12, false, "12 .FIX files were successfully written."},
  };
  for (const Case& c : cases) {
    HeadlessFileSystem fs;
    HeadlessUi ui;
    ScopedRuntime runtime(fs, settings_, ui);
    std::vector<std::string> files;
    for (size_t i = 0; i < c.files; ++i) {
      files.push_back("f" + std::to_string(i) + ".AEF");
      if (!(c.last_fails && i + 1 == c.files)) fs.AddFile(files.back(), ExportFile("x"));
    }
    ui.QueueFiles(files);
    App app;
    app.Start();
    ASSERT_FALSE(ui.boxes.empty());
    const auto& last = ui.boxes.back();
    EXPECT_EQ(last.text, "Finished!\r\n\r\n" + c.sentence + "\r\n\r\n" + kClosingLine);
    EXPECT_EQ(last.caption, "Quillon Export File Fix v1.1");
    EXPECT_EQ(last.type, MB_ICONINFORMATION | MB_OK);
    for (const auto& box : ui.boxes) EXPECT_EQ(box.owner, app.ProgressWindow());
  }
}

TEST_F(StartTest, TheWindowStaysShownToTheEnd) {
  fs_.AddFile("a.AEF", ExportFile("a"));
  ui_.QueueFiles(std::vector<std::string>{"a.AEF"});
  Start();
  ASSERT_NE(ui_.NewestDialog(), nullptr);
  EXPECT_TRUE(ui_.NewestDialog()->visible());
  EXPECT_EQ(std::count(ui_.log.begin(), ui_.log.end(), "Show"), 1);
  EXPECT_EQ(ui_.NewestDialog()->caption(), "Quillon Export File Fix v1.1");
}

TEST_F(StartTest, GivenFilesAreRepairedInTheirOrderWithoutTheDialog) {
  fs_.AddFile("/w/b.AEF", ExportFile("b:"));
  fs_.AddFile("/w/a.MEF", ExportFile("a<"));
  App app({"/w/b.AEF", "/w/a.MEF"});
  app.Start();
  EXPECT_TRUE(ui_.open_dialogs.empty());
  EXPECT_EQ(fs_.opened, (std::vector<std::string>{"/w/b.AEF", "/w/a.MEF"}));
  EXPECT_EQ(fs_.Content("/w/b.fix"), ExportFile("b-"));
  EXPECT_EQ(fs_.Content("/w/a.fix"), ExportFile("a-"));
  ASSERT_EQ(ui_.boxes.size(), 2u);
  EXPECT_EQ(ui_.boxes[0].text, kIntroText);
  EXPECT_EQ(ui_.boxes[1].text, "Finished!\r\n\r\n2 .FIX files were successfully written.\r\n\r\n" +
                                   std::string(kClosingLine));
  for (const auto& box : ui_.boxes) EXPECT_EQ(box.owner, app.ProgressWindow());
}

TEST_F(StartTest, CancelOnTheIntroEndsAlsoWithGivenFiles) {
  fs_.AddFile("a.AEF", ExportFile("a:"));
  ui_.QueueReply(BOXREPLYCANCEL);
  App app({"a.AEF"});
  app.Start();
  EXPECT_EQ(ui_.boxes.size(), 1u);
  EXPECT_TRUE(ui_.open_dialogs.empty());
  EXPECT_TRUE(fs_.opened.empty());
}

TEST_F(StartTest, AGivenFileThatFailsEndsTheRunLikeAChosenOne) {
  fs_.AddFile("a.AEF", ExportFile("a"));
  fs_.AddFile("c.AEF", ExportFile("c"));
  App app({"a.AEF", "missing.AEF", "c.AEF"});
  app.Start();
  EXPECT_EQ(fs_.opened, (std::vector<std::string>{"a.AEF", "missing.AEF"}));
  ASSERT_EQ(ui_.boxes.size(), 3u);
  EXPECT_EQ(ui_.boxes[1].text, "Error reading missing.AEF");
  EXPECT_EQ(ui_.boxes[1].owner, app.ProgressWindow());
  EXPECT_EQ(Finals(), std::vector<std::string>{
                          "Finished!\r\n\r\n1 .FIX file was successfully written.\r\n\r\n" +
                          std::string(kClosingLine)});
}

TEST(ProgramTest, HandsTheGivenFilesToTheApplication) {
  HeadlessFileSystem fs;
  HeadlessSettings settings;
  HeadlessUi ui;
  fs.AddFile("/w/a.AEF", ExportFile("a:"));
  Program program = ExportFixProgram(
      [](int type, int id) -> std::optional<std::string_view> {
        if (type == 21569 && id == 1) return ProgramSymbolTable();
        return std::nullopt;
      },
      {"/w/a.AEF"});
  EXPECT_EQ(RunProgram(program, {fs, settings, ui}), 0);
  EXPECT_TRUE(ui.open_dialogs.empty());
  EXPECT_EQ(fs.Content("/w/a.fix"), ExportFile("a-"));
}

TEST(ProgramTest, StartsFromTheGeneratedSymbolTable) {
  HeadlessFileSystem fs;
  HeadlessSettings settings;
  HeadlessUi ui;
  ui.QueueReply(BOXREPLYCANCEL);
  std::vector<std::string> trace;
  Program program = ExportFixProgram([](int type, int id) -> std::optional<std::string_view> {
    if (type == 21569 && id == 1) return ProgramSymbolTable();
    return std::nullopt;
  });
  EXPECT_EQ(RunProgram(program, {fs, settings, ui}, &trace), 0);
  EXPECT_EQ(trace, (std::vector<std::string>{"symbol table", "RTInit", "classes", "init 1",
                                             "init 2", "App:Start", "Start returned", "RTExit"}))
      << "the error system's two procedures run before Start";
  ASSERT_EQ(ui.boxes.size(), 1u) << "Start ran: the intro box was shown";
  EXPECT_EQ(ProgramSymbolTable().substr(0, 9), "ATOMTABLE");
}

TEST(ProgramTest, RegistersAppAndTheProgressWindowWithTheirMethods) {
  ClassRegistry registry(*LoadSymbolTable(ProgramSymbolTable()));
  ASSERT_TRUE(RegisterClasses(registry));
  EXPECT_EQ(registry.MethodNames(Symbol("App")), std::vector<std::string>{"START"});
  EXPECT_EQ(registry.MethodNames(Symbol("WinProgress")),
            (std::vector<std::string>{"PBCANCEL", "INIT", "PROGRESS", "TASK", "DESCRIPTION",
                                      "DISPATCH", "POSTINIT", "PREINIT"}));
  for (const char* error_class : {"Error", "WCError"}) {
    EXPECT_NE(registry.Create(Symbol(error_class)), nullptr) << error_class;
    EXPECT_TRUE(registry.HasMethod(Symbol(error_class), Symbol("Throw"))) << error_class;
  }
  EXPECT_FALSE(RegisterClasses(registry)) << "a class registers once";
}

TEST(ProgramTest, ADamagedSymbolTableEndsWithMinusOneAndNoMessage) {
  std::string good(ProgramSymbolTable());
  std::string wrong_signature = good;
  wrong_signature[0] = 'B';
  std::string truncated = good.substr(0, good.size() - 3);
  std::string without_start = BuildSymbolTable({"APP", "WINPROGRESS", "PBCANCEL"});
  for (const std::string& table : {wrong_signature, truncated, std::string(), without_start}) {
    HeadlessFileSystem fs;
    HeadlessSettings settings;
    HeadlessUi ui;
    Program program =
        ExportFixProgram([&table](int, int) -> std::optional<std::string_view> { return table; });
    EXPECT_EQ(RunProgram(program, {fs, settings, ui}), -1);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(ui.log.empty());
  }
}

}  // namespace
}  // namespace qef
