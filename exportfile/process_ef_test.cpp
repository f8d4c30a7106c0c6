#include "exportfile/process_ef.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <new>
#include <string>
#include <thread>

#include "exportfile/export_file.h"
#include "exportfile/record_copier.h"
#include "exportfile/repair.h"
#include "exportfile/testing/records.h"
#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "progress/win_progress.h"
#include "runtime/file_table.h"
#include "runtime/runtime.h"

namespace qef {
namespace {

using testing::HeaderRecord;
using testing::ModuleBody;
using testing::Record;
using testing::RecordWithLength;

bool AnyTemporaryIn(const HeadlessFileSystem& fs) {
  auto names = fs.Names();
  return std::any_of(names.begin(), names.end(), [](const std::string& name) {
    return name.find(".partial") != std::string::npos;
  });
}

class ProcessEFTest : public ::testing::Test {
 protected:
  ProcessEFTest() : runtime_(fs_, settings_, ui_), win_(std::make_unique<WinProgress>()) {}

  uint32_t Run(const std::vector<std::string>& files) { return ProcessEF(files, *win_); }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : ui_.boxes) texts.push_back(box.text);
    return texts;
  }

  // The lines the run wrote to the window, without the window's own construction.
  std::vector<std::string> RunLog() const {
    auto first = std::find(ui_.log.begin(), ui_.log.end(), "Play 104");
    return {first == ui_.log.end() ? ui_.log.begin() : first + 1, ui_.log.end()};
  }

  bool AnyTemporaryLeft() const { return AnyTemporaryIn(fs_); }

  HeadlessFileSystem fs_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  ScopedRuntime runtime_;
  std::unique_ptr<WinProgress> win_;
};

std::string ExportFile(const std::string& records) { return HeaderRecord() + records; }

TEST_F(ProcessEFTest, RepairsNameRecordsAndCopiesTheRestByteForByte) {
  std::string opaque = Record(0x0041, "x := a:b // <not a name>");
  fs_.AddFile("App.AEF", ExportFile(Record(AEF_REC_APPNAME, "My:App<1>") + opaque +
                                    Record(AEF_REC_SPATH, "C:\\src\\app") +
                                    Record(AEF_REC_MODNAME, ModuleBody("A:B") + "x?y")));
  EXPECT_EQ(Run({"App.AEF"}), 1u);
  EXPECT_EQ(fs_.Content("App.fix"), ExportFile(Record(AEF_REC_APPNAME, "My-App-1-") + opaque +
                                               Record(AEF_REC_SPATH, "C--src-app") +
                                               Record(AEF_REC_MODNAME, ModuleBody("A-B") + "x-y")));
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ProcessEFTest, CopyIsByteIdenticalWhenNothingNeedsRepair) {
  std::string input =
      ExportFile(Record(AEF_REC_APPNAME, "Clean App") + Record(0x0126, "odd") +
                 Record(AEF_REC_MODNAME, ModuleBody("One")) + Record(0x0041, "") +
                 Record(AEF_REC_END, "") + Record(AEF_REC_MODNAME, ModuleBody("Two")));
  fs_.AddFile("Clean.MEF", input);
  EXPECT_EQ(Run({"Clean.MEF"}), 1u);
  EXPECT_EQ(fs_.Content("Clean.fix"), input);
  EXPECT_EQ(fs_.Content("Clean.MEF"), input);
}

TEST_F(ProcessEFTest, ReportsEachFileThatCannotBeProcessed) {
  std::string valid = ExportFile("");
  std::string compressed = valid;
  compressed[6] = 0x7F;
  std::string late_signature = std::string(40, 'x') + "Export File" + std::string(10, 'x');
  late_signature[6] = static_cast<char>(0x80);
  struct Case {
    const char* name;
    std::string content;  // empty: no such file
    std::string message;
  } cases[] = {
      {"missing.AEF", "", "Error reading missing.AEF"},
      {"short.AEF", valid.substr(0, 49), "short.AEF is not a valid Export File"},
      {"lower.AEF", ExportFile("").replace(17, 11, "export file"),
       "lower.AEF is not a valid Export File"},
      {"late.AEF", late_signature, "late.AEF is not a valid Export File"},
      {"packed.AEF", compressed, "packed.AEF is a compressed Export File and cannot be processed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HeadlessFileSystem fs;
    HeadlessUi ui;
    ScopedRuntime runtime(fs, settings_, ui);
    WinProgress win;
    if (!c.content.empty()) fs.AddFile(c.name, c.content);
    EXPECT_EQ(ProcessEF({c.name}, win), 0u);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, c.message);
    EXPECT_EQ(ui.boxes[0].caption, "Error");
    EXPECT_EQ(ui.boxes[0].owner, &win);
    EXPECT_EQ(ui.boxes[0].type, MB_ICONEXCLAMATION | MB_OK);
    EXPECT_TRUE(fs.created.empty()) << "no output before every test has passed";
    EXPECT_EQ(runtime.runtime().file_table().OpenCount(), 0u) << "input closed";
  }
}

TEST_F(ProcessEFTest, AcceptsTheSmallestExportFile) {
  std::string input = ExportFile("").substr(0, 50);
  input[2] = 44;  // the header record's body ends at the 50th byte
  input[3] = input[4] = input[5] = 0;
  fs_.AddFile("tiny.AEF", input);
  EXPECT_EQ(Run({"tiny.AEF"}), 1u);
  EXPECT_EQ(fs_.Content("tiny.fix"), input);
}

TEST_F(ProcessEFTest, SignatureEndingAtTheFiftiethByteIdentifiesTheFile) {
  std::string input = Record(0x0001, std::string("\x80", 1) + std::string(32, ' ') + "Export File");
  ASSERT_EQ(input.size(), 50u);
  fs_.AddFile("edge.AEF", input);
  EXPECT_EQ(Run({"edge.AEF"}), 1u);
}

TEST_F(ProcessEFTest, EmptyListIsReported) {
  EXPECT_EQ(Run({}), 0u);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text.rfind("Cannot find file ", 0), 0u);
  EXPECT_EQ(ui_.boxes[0].caption, "Error");
}

TEST_F(ProcessEFTest, RunStopsAtTheFirstFailingFile) {
  for (const char* name : {"1.AEF", "2.AEF", "4.AEF", "5.AEF"}) fs_.AddFile(name, ExportFile(""));
  EXPECT_EQ(Run({"1.AEF", "2.AEF", "3.AEF", "4.AEF", "5.AEF"}), 2u);
  EXPECT_TRUE(fs_.Exists("1.fix"));
  EXPECT_TRUE(fs_.Exists("2.fix"));
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Error reading 3.AEF"});
  EXPECT_EQ(fs_.opened, (std::vector<std::string>{"1.AEF", "2.AEF", "3.AEF"}));
}

TEST_F(ProcessEFTest, ShowsDescriptionTaskRangeAndPositionInOrder) {
  // Three records of 55, 9 and 36 bytes in a file of 100: positions 0, 55 and 64.
  std::string input =
      ExportFile(Record(AEF_REC_APPNAME, "App") + Record(0x0041, std::string(30, 's')));
  ASSERT_EQ(input.size(), 100u);
  fs_.AddFile("C/dir/App.AEF", input);
  Run({"C/dir/App.AEF"});
  EXPECT_EQ(RunLog(), (std::vector<std::string>{
                          "Text 103=Replacing invalid characters in App/Module names...",
                          "Text 102=App.AEF", "Range 101=1..100", "Position 101=0", "Exec",
                          "Position 101=55", "Exec", "Position 101=64", "Exec"}));
}

TEST_F(ProcessEFTest, PercentageIsCutToAWholeNumber) {
  // 3 records in 150 bytes: the second starts at 55 of 150 (36.67 %), the third at 99 (66 %).
  std::string input =
      ExportFile(Record(0x0041, std::string(38, 'a')) + Record(0x0041, std::string(45, 'b')));
  ASSERT_EQ(input.size(), 150u);
  fs_.AddFile("p.AEF", input);
  Run({"p.AEF"});
  auto log = RunLog();
  std::vector<std::string> positions;
  std::copy_if(log.begin(), log.end(), std::back_inserter(positions),
               [](const std::string& line) { return line.rfind("Position", 0) == 0; });
  EXPECT_EQ(positions,
            (std::vector<std::string>{"Position 101=0", "Position 101=36", "Position 101=66"}));
}

TEST_F(ProcessEFTest, CancelBeforeTheLastRecordStillCopiesItThenDiscardsTheCopy) {
  for (Event cancel : {CommandEvent(kCancelButtonId), CommandEvent(IDCANCEL)}) {
    SCOPED_TRACE(cancel.wParam());
    HeadlessFileSystem fs;
    HeadlessUi ui;
    ScopedRuntime runtime(fs, settings_, ui);
    WinProgress win;
    fs.AddFile("1.AEF", ExportFile(""));
    fs.AddFile("2.AEF", ExportFile(Record(AEF_REC_APPNAME, "a:b") + Record(0x41, "last")));
    fs.AddFile("3.AEF", ExportFile(""));
    fs.AddFile("2.fix", "earlier copy");
    ui.ScheduleEvent(4, cancel);  // 1.AEF has one record; 2.AEF's third is the last
    EXPECT_EQ(ProcessEF({"1.AEF", "2.AEF", "3.AEF"}, win), 1u);
    EXPECT_TRUE(win.lAbort);
    EXPECT_EQ(ui.exec_calls, 4) << "the last record was still read and written";
    EXPECT_EQ(fs.Content("2.fix"), "earlier copy");
    EXPECT_TRUE(fs.Exists("1.fix"));
    EXPECT_EQ(std::count(fs.opened.begin(), fs.opened.end(), "3.AEF"), 0);
    EXPECT_TRUE(ui.boxes.empty());
    auto names = fs.Names();
    EXPECT_EQ(std::count_if(names.begin(), names.end(),
                            [](const std::string& n) { return n.find(".partial") != n.npos; }),
              0);
  }
}

TEST_F(ProcessEFTest, CancelAtTheFirstRecordWritesNothing) {
  fs_.AddFile("a.AEF", ExportFile(Record(0x41, "x")));
  ui_.ScheduleEvent(1, CommandEvent(kCancelButtonId));
  EXPECT_EQ(Run({"a.AEF"}), 0u);
  EXPECT_EQ(ui_.exec_calls, 1) << "Cancel is seen at the head of the loop";
  EXPECT_FALSE(fs_.Exists("a.fix"));
  EXPECT_FALSE(AnyTemporaryLeft());
}

// Cancel while spans are being copied behind the loop: the loop stops at the next record, the
// copy under way is discarded, and nothing is left open.
TEST_F(ProcessEFTest, CancelWhileTheOutputIsWrittenBehindDiscardsTheCopy) {
  std::string records;
  for (int i = 0; i < 80; ++i) records += Record(0x41, std::string(100000, 'a' + i % 26));
  records += Record(AEF_REC_APPNAME, "a:b");
  fs_.AddFile("big.AEF", ExportFile(records));
  fs_.AddFile("big.fix", "earlier copy");
  SetCopyBlockSize(256 * 1024);  // so that an 8 MB file is large enough to be written behind
  ui_.ScheduleEvent(60, CommandEvent(kCancelButtonId));  // past several spans
  EXPECT_EQ(Run({"big.AEF"}), 0u);
  SetCopyBlockSize(kDefaultCopyBlockSize);
  EXPECT_EQ(ui_.exec_calls, 60);
  EXPECT_GT(fs_.span_copies, 1);
  EXPECT_EQ(fs_.Content("big.fix"), "earlier copy");
  EXPECT_FALSE(AnyTemporaryLeft());
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_EQ(runtime_.runtime().file_table().OpenCount(), 0u);
}

TEST_F(ProcessEFTest, OutputNameFollowsTheLastDotOfTheFileName) {
  struct Case {
    const char* path;
    const char* separators;
    const char* output;
  } cases[] = {
      {"C:\\Work\\App.AEF", "\\/", "C:\\Work\\App.fix"},
      {"C:\\my.dir\\file", "\\/", "C:\\my.dir\\file.fix"},
      {"C:/my.dir/file", "\\/", "C:/my.dir/file.fix"},
      {"my.dir/file", "/", "my.dir/file.fix"},
      {"file", "/", "file.fix"},
      {"a.b.MEF", "/", "a.b.fix"},
      {"App.", "/", "App.fix"},
      {"dir/.AEF", "/", "dir/.fix"},
      {"my.dir\\file", "/", "my.fix"},  // a backslash is no separator on POSIX
  };
  for (const Case& c : cases) EXPECT_EQ(OutputName(c.path, c.separators), c.output) << c.path;
}

TEST_F(ProcessEFTest, TaskIsTheFileNameWithoutItsFolders) {
  EXPECT_EQ(FileNamePart("C:\\Work\\App.AEF", "\\/"), "App.AEF");
  EXPECT_EQ(FileNamePart("C:/Work\\sub/App.AEF", "\\/"), "App.AEF");
  EXPECT_EQ(FileNamePart("App.AEF", "/"), "App.AEF");
  EXPECT_EQ(FileNamePart("/tmp/x/App.AEF", "/"), "App.AEF");
}

TEST_F(ProcessEFTest, RefusesAnInputThatIsItsOwnOutput) {
  for (const char* name : {"old.fix", "old.FIX", "dir/old.Fix"}) {
    fs_.AddFile(name, ExportFile(Record(AEF_REC_APPNAME, "a:b")));
    ui_.boxes.clear();
    EXPECT_EQ(Run({name}), 0u) << name;
    ASSERT_EQ(ui_.boxes.size(), 1u);
    EXPECT_EQ(ui_.boxes[0].text.rfind(std::string(name) + " ", 0), 0u) << ui_.boxes[0].text;
    EXPECT_EQ(fs_.Content(name), ExportFile(Record(AEF_REC_APPNAME, "a:b")));
  }
  EXPECT_TRUE(fs_.created.empty());
}

TEST_F(ProcessEFTest, RefusesASecondInputWithTheSameOutputName) {
  fs_.AddFile("App.AEF", ExportFile(Record(AEF_REC_APPNAME, "first")));
  fs_.AddFile("App.MEF", ExportFile(Record(AEF_REC_APPNAME, "second")));
  EXPECT_EQ(Run({"App.AEF", "App.MEF"}), 1u);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_NE(ui_.boxes[0].text.find("App.MEF"), std::string::npos);
  EXPECT_EQ(fs_.Content("App.fix"), ExportFile(Record(AEF_REC_APPNAME, "first")));
}

TEST_F(ProcessEFTest, ReadAndWriteFailuresEndTheRunAndKeepTheEarlierCopy) {
  struct Case {
    const char* name;
    bool fail_reads;
    long fail_write;
    const char* message;
  } cases[] = {
      {"read", true, 0, "Error reading in.AEF"},
      {"write", false, 1, "Error writing in.fix"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HeadlessFileSystem fs;
    HeadlessUi ui;
    ScopedRuntime runtime(fs, settings_, ui);
    WinProgress win;
    std::string input = ExportFile(Record(0x41, std::string(300000, 'z')));
    fs.AddFile("in.AEF", input);
    fs.AddFile("in.fix", "earlier copy");
    fs.AddFile("next.AEF", ExportFile(""));
    fs.fail_write_number = c.fail_write;
    if (c.fail_reads) {
      fs.fail_reads_of = "in.AEF";
      fs.fail_reads_from = 100000;  // the file test passes; the copy's reads then fail
    }
    EXPECT_EQ(ProcessEF({"in.AEF", "next.AEF"}, win), 0u);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, c.message);
    EXPECT_EQ(fs.Content("in.fix"), "earlier copy");
    EXPECT_EQ(fs.Content("in.AEF"), input);
    EXPECT_FALSE(fs.Exists("next.fix"));
    EXPECT_EQ(runtime.runtime().file_table().OpenCount(), 0u);
    for (const auto& name : fs.Names()) {
      EXPECT_EQ(name.find(".partial"), std::string::npos) << name;
    }
  }
}

TEST_F(ProcessEFTest, UsesTheNextTemporaryNameWhenAnotherRunWritesUnderOne) {
  fs_.AddFile("App.AEF", ExportFile(Record(AEF_REC_APPNAME, "a:b")));
  fs_.AddFile("App.fix.partial", "someone else's");
  fs_.claimed.push_back("App.fix.partial");
  EXPECT_EQ(Run({"App.AEF"}), 1u);
  EXPECT_EQ(fs_.Content("App.fix.partial"), "someone else's");
  EXPECT_EQ(fs_.Content("App.fix"), ExportFile(Record(AEF_REC_APPNAME, "a-b")));
}

// A killed run's temporary file is nobody's: it is taken again, not left beside a new name.
TEST_F(ProcessEFTest, AStaleTemporaryFileIsReplacedNotAddedTo) {
  fs_.AddFile("App.AEF", ExportFile(Record(AEF_REC_APPNAME, "a:b")));
  fs_.AddFile("App.fix.partial", "left by a killed run");
  EXPECT_EQ(Run({"App.AEF"}), 1u);
  EXPECT_EQ(fs_.Content("App.fix"), ExportFile(Record(AEF_REC_APPNAME, "a-b")));
  EXPECT_FALSE(AnyTemporaryLeft());
  EXPECT_EQ(fs_.created, std::vector<std::string>{"App.fix.partial"});
}

// Where looking for a missing name is dear (Wine), the copy is not looked for before it is
// written: it is renamed into place where no file has its name, and only a file found there is
// compared with the input and replaced. Every outcome is as where names are cheap.
TEST(ProcessEFDearNamesTest, TheCopyIsLookedAtOnlyWhenRenamingFindsOne) {
  struct Case {
    bool dear;
    bool earlier_copy;
    bool refuse_rename;
    bool copy_looked_at;
  } cases[] = {{false, false, false, true}, {true, false, false, false}, {true, true, false, true},
               {false, true, true, true},   {true, true, true, true},    {true, false, true, true}};
  const std::string repaired = ExportFile(Record(AEF_REC_APPNAME, "a-b"));
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.dear) + std::to_string(c.earlier_copy) +
                 std::to_string(c.refuse_rename));
    HeadlessFileSystem fs;
    HeadlessSettings settings;
    HeadlessUi ui;
    ScopedRuntime runtime(fs, settings, ui);
    fs.dear_missing_names = c.dear;
    fs.refuse_rename = c.refuse_rename;
    fs.AddFile("App.AEF", ExportFile(Record(AEF_REC_APPNAME, "a:b")));
    if (c.earlier_copy) fs.AddFile("App.fix", "earlier");
    WinProgress win;
    EXPECT_EQ(ProcessEF({"App.AEF"}, win), c.refuse_rename ? 0u : 1u);
    EXPECT_EQ(fs.Content("App.fix"),
              c.refuse_rename ? (c.earlier_copy ? "earlier" : "") : repaired);
    EXPECT_EQ(ui.boxes.size(), c.refuse_rename ? 1u : 0u);
    if (c.refuse_rename && !ui.boxes.empty()) {
      EXPECT_EQ(ui.boxes[0].text, "Could not create App.fix");
    }
    EXPECT_EQ(std::count(fs.identified.begin(), fs.identified.end(), "App.fix") > 0,
              c.copy_looked_at);
    EXPECT_FALSE(AnyTemporaryIn(fs));
  }
}

TEST_F(ProcessEFTest, FailureToCreateTheCopyIsReported) {
  fs_.AddFile("App.AEF", ExportFile(""));
  fs_.refuse_rename = true;
  EXPECT_EQ(Run({"App.AEF"}), 0u);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Could not create App.fix"});
  EXPECT_FALSE(AnyTemporaryLeft());

  ui_.boxes.clear();
  fs_.refuse_rename = false;
  for (int i = 1; i <= 100; ++i)
    fs_.refuse_create.push_back("App.fix.partial" + (i == 1 ? "" : std::to_string(i)));
  EXPECT_EQ(Run({"App.AEF"}), 0u);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Could not create App.fix"});
}

TEST_F(ProcessEFTest, DamagedEndsAreCopiedWithoutReadingPastTheFile) {
  std::string head = ExportFile(Record(AEF_REC_APPNAME, "a:b"));
  size_t size_after_cut = head.size() + 6 + 3;
  struct Case {
    const char* name;
    std::string input;
    std::string output;
  } cases[] = {
      {"fragment", head + "\x20\x00\x05", head.substr(0, head.size() - 3) + "a-b" + "\x20\x00\x05"},
      {"short body", head + RecordWithLength(AEF_REC_APPNAME, 8, "x:y"),
       head.substr(0, head.size() - 3) + "a-b" + RecordWithLength(AEF_REC_APPNAME, 8, "x-y     ")},
      {"length over the file",
       head + RecordWithLength(AEF_REC_APPNAME, static_cast<uint32_t>(size_after_cut + 1), "x:y"),
       head.substr(0, head.size() - 3) + "a-b" +
           RecordWithLength(AEF_REC_APPNAME, static_cast<uint32_t>(size_after_cut + 1), "x:y")},
      {"bit 31", head + RecordWithLength(AEF_REC_MODNAME, 0x80000003u, "x:y"),
       head.substr(0, head.size() - 3) + "a-b" +
           RecordWithLength(AEF_REC_MODNAME, 0x80000003u, "x:y")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HeadlessFileSystem fs;
    HeadlessUi ui;
    ScopedRuntime runtime(fs, settings_, ui);
    WinProgress win;
    fs.AddFile("d.AEF", c.input);
    EXPECT_EQ(ProcessEF({"d.AEF"}, win), 1u);
    EXPECT_EQ(fs.Content("d.fix"), c.output);
    EXPECT_LE(fs.largest_read, kDefaultCopyBlockSize) << "reads never follow a declared length";
  }
}

TEST_F(ProcessEFTest, ModuleNamesAreKeptDistinctWithinOneFileOnly) {
  std::string modules = Record(AEF_REC_MODNAME, ModuleBody("A/B")) +
                        Record(AEF_REC_MODNAME, ModuleBody("A:B")) +
                        Record(AEF_REC_MODNAME, ModuleBody("A*B"));
  fs_.AddFile("one.AEF", ExportFile(modules));
  fs_.AddFile("two.AEF", ExportFile(modules));
  EXPECT_EQ(Run({"one.AEF", "two.AEF"}), 2u);
  std::string expected = ExportFile(Record(AEF_REC_MODNAME, ModuleBody("A-B")) +
                                    Record(AEF_REC_MODNAME, ModuleBody("A-1")) +
                                    Record(AEF_REC_MODNAME, ModuleBody("A-2")));
  EXPECT_EQ(fs_.Content("one.fix"), expected);
  EXPECT_EQ(fs_.Content("two.fix"), expected);
}

TEST_F(ProcessEFTest, SettingsAreReadAtTheStartOfEveryRun) {
  fs_.AddFile("s.AEF", ExportFile(Record(AEF_REC_APPNAME, "a:b")));
  Run({"s.AEF"});
  EXPECT_EQ(fs_.Content("s.fix"), ExportFile(Record(AEF_REC_APPNAME, "a-b")));
  settings_.Set(kSettingsKey, "Bad", "ab");
  settings_.Set(kSettingsKey, "Good", "bc");
  Run({"s.AEF"});
  EXPECT_EQ(fs_.Content("s.fix"), ExportFile(Record(AEF_REC_APPNAME, "c:c")));
}

// Module names that Windows rejects, and the application name "My App.".
std::string InvalidNames() {
  std::string modules;
  for (const char* name : {"CO-", "CON", "con.prg", "Print.", "Print-", "Tab\tName", "COM\xB9",
                           "Fine:Name", "A . ", "lpt0", "NULL"}) {
    modules += Record(AEF_REC_MODNAME, ModuleBody(name));
  }
  return ExportFile(Record(AEF_REC_APPNAME, "My App.") + Record(AEF_REC_SPATH, "C:\\CON.") +
                    modules);
}

TEST_F(ProcessEFTest, StrictNamesSettingMendsNamesBeforeTheCounter) {
  fs_.AddFile("n.AEF", InvalidNames());
  struct Case {
    const char* value;  // of StrictNames; nullptr: absent
    bool strict;
  } cases[] = {{nullptr, false}, {"0", false}, {"", false},
               {"yes", false},   {"1", true},  {" 1 ", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "absent");
    settings_ = HeadlessSettings();
    if (c.value) settings_.Set(kSettingsKey, "StrictNames", c.value);
    ASSERT_EQ(Run({"n.AEF"}), 1u);
    std::string modules;
    for (const char* name :
         c.strict
             ? std::vector<const char*>{"CO-", "CO1", "co-.prg", "Print-", "Print1", "Tab-Name",
                                        "COM-", "Fine-Name", "A---", "lpt-", "NULL"}
             : std::vector<const char*>{"CO-", "CON", "con.prg", "Print.", "Print-", "Tab\tName",
                                        "COM\xB9", "Fine-Name", "A . ", "lpt0", "NULL"}) {
      modules += Record(AEF_REC_MODNAME, ModuleBody(name));
    }
    // The source path is no name: only its characters are replaced.
    EXPECT_EQ(fs_.Content("n.fix"),
              ExportFile(Record(AEF_REC_APPNAME, c.strict ? "My App-" : "My App.") +
                         Record(AEF_REC_SPATH, "C--CON.") + modules));
  }
}

// A file of several blocks with name records among large opaque ones, so that failures land in
// every part of a copy.
std::string SeveralBlocks() {
  std::string records;
  for (int i = 0; i < 12; ++i) {
    records += Record(AEF_REC_MODNAME, ModuleBody("M:" + std::to_string(i)));
    records += Record(0x41, std::string(200000 + i, static_cast<char>('a' + i)));
  }
  return ExportFile(records);
}

// How a copy takes in its input: in views, read in turn, or read at offsets beside the copies
// of its spans, which takes an input of sixteen blocks or more: SeveralBlocks() is, in blocks of
// kBesideBlock.
struct InputAccess {
  const char* name;
  bool views;
  bool positioned_reads;
};
constexpr InputAccess kViewed{"viewed", true, false};
constexpr InputAccess kRead{"read", false, false};
constexpr InputAccess kReadBeside{"read beside", false, true};
constexpr size_t kBesideBlock = 64 * 1024;

// After any failure: the warning, nothing counted, the earlier copy and the input as they were,
// no temporary file, no file left open, and the next file not touched.
void ExpectFailedCleanly(HeadlessFileSystem& fs, ScopedRuntime& runtime, HeadlessUi& ui,
                         uint32_t completed, const std::string& message, const std::string& input) {
  EXPECT_EQ(completed, 0u);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, message);
  EXPECT_EQ(fs.Content("in.fix"), "earlier copy");
  EXPECT_EQ(fs.Content("in.AEF"), input);
  EXPECT_FALSE(fs.Exists("next.fix"));
  EXPECT_EQ(runtime.runtime().file_table().OpenCount(), 0u);
  for (const auto& name : fs.Names()) EXPECT_EQ(name.find(".partial"), std::string::npos) << name;
}

// Reading the input, a body reaching far past the buffer goes from file to file instead of through
// the program, and the names repaired in the buffer before it still reach the copy.
TEST_F(ProcessEFTest, ReadingPassesOverALongBodyAndKeepsTheNamesRepairedBeforeIt) {
  SetCopyBlockSize(64 * 1024);
  struct Case {
    size_t body;
    bool passed_over;
  };
  for (const Case& c :
       {Case{1000, false}, Case{64 * 1024, false}, Case{300 * 1024, true}, Case{3 << 20, true}}) {
    SCOPED_TRACE(c.body);
    HeadlessFileSystem fs;
    fs.views = false;
    HeadlessUi ui;
    ScopedRuntime runtime(fs, settings_, ui);
    WinProgress win;
    std::string body = std::string(c.body - 1, 'b') + ":";
    fs.AddFile("in.AEF",
               ExportFile(Record(AEF_REC_MODNAME, ModuleBody("A:B")) + Record(0x41, body) +
                          Record(AEF_REC_MODNAME, ModuleBody("C:D"))));
    ASSERT_EQ(ProcessEF({"in.AEF"}, win), 1u);
    EXPECT_EQ(fs.Content("in.fix"),
              ExportFile(Record(AEF_REC_MODNAME, ModuleBody("A-B")) + Record(0x41, body) +
                         Record(AEF_REC_MODNAME, ModuleBody("C-D"))));
    EXPECT_EQ(fs.span_copies > 0, c.passed_over);
    EXPECT_EQ(fs.largest_read < c.body, c.passed_over);
  }
  SetCopyBlockSize(kDefaultCopyBlockSize);
}

// Viewing the input, the unchanged spans go from file to file and each such copy is a write
// that can fail; reading it, the copy is written in blocks.
TEST_F(ProcessEFTest, WriteFailureAtEveryWriteOfACopyLosesNothing) {
  std::string input = SeveralBlocks();
  for (const InputAccess& access : {kViewed, kRead, kReadBeside}) {
    SCOPED_TRACE(access.name);
    // Read in several blocks, so written in several pieces.
    SetCopyBlockSize(access.positioned_reads ? kBesideBlock : 256 * 1024);
    HeadlessFileSystem clean;
    clean.views = access.views;
    clean.positioned_reads = access.positioned_reads;
    long total_writes;
    {
      HeadlessUi ui;
      ScopedRuntime runtime(clean, settings_, ui);
      WinProgress win;
      clean.AddFile("in.AEF", input);
      ASSERT_EQ(ProcessEF({"in.AEF"}, win), 1u);
      total_writes = clean.writes;
      EXPECT_EQ(clean.largest_view > 0, access.views);
      EXPECT_EQ(clean.reads_at > 0, access.positioned_reads);
    }
    ASSERT_GE(total_writes, 5) << "the copy should take several writes";
    for (long n = 1; n <= total_writes; ++n) {
      SCOPED_TRACE("write " + std::to_string(n));
      HeadlessFileSystem fs;
      fs.views = access.views;
      fs.positioned_reads = access.positioned_reads;
      HeadlessUi ui;
      ScopedRuntime runtime(fs, settings_, ui);
      WinProgress win;
      fs.AddFile("in.AEF", input);
      fs.AddFile("in.fix", "earlier copy");
      fs.AddFile("next.AEF", ExportFile(""));
      fs.fail_write_number = n;
      uint32_t completed = ProcessEF({"in.AEF", "next.AEF"}, win);
      ExpectFailedCleanly(fs, runtime, ui, completed, "Error writing in.fix", input);
    }
    std::printf("[ faults   ] %ld write failures injected (%s), each survived\n", total_writes,
                access.name);
  }
  SetCopyBlockSize(kDefaultCopyBlockSize);
}

// A span copy that throws on the worker, behind the loop, fails the copy as a failed write does.
TEST_F(ProcessEFTest, SpanCopyThatThrowsBehindTheLoopIsAWriteFailure) {
  std::string records;
  for (int i = 0; i < 80; ++i) records += Record(0x41, std::string(100000, 'a' + i % 26));
  std::string input = ExportFile(records);
  fs_.AddFile("in.AEF", input);
  fs_.AddFile("in.fix", "earlier copy");
  fs_.AddFile("next.AEF", ExportFile(""));
  std::thread::id caller = std::this_thread::get_id();
  std::atomic<bool> thrown = false;
  fs_.on_span_copy = [&] {
    if (std::this_thread::get_id() == caller) return;
    thrown = true;
    throw std::bad_alloc();
  };
  SetCopyBlockSize(256 * 1024);  // so that an 8 MB file is written behind
  uint32_t completed = Run({"in.AEF", "next.AEF"});
  SetCopyBlockSize(kDefaultCopyBlockSize);
  if (!thrown) GTEST_SKIP() << "this build writes as it goes";
  ExpectFailedCleanly(fs_, runtime_, ui_, completed, "Error writing in.fix", input);
}

TEST_F(ProcessEFTest, ReadFailureAnywhereInACopyLosesNothing) {
  std::string input = SeveralBlocks();
  int injected = 0;
  for (const InputAccess& access : {kViewed, kRead, kReadBeside}) {
    SetCopyBlockSize(access.positioned_reads ? kBesideBlock : kDefaultCopyBlockSize);
    for (int64_t from = 60; from < static_cast<int64_t>(input.size()); from += 97001) {
      SCOPED_TRACE(std::string(access.name) + ", reads fail past " + std::to_string(from));
      HeadlessFileSystem fs;
      fs.views = access.views;
      fs.positioned_reads = access.positioned_reads;
      HeadlessUi ui;
      ScopedRuntime runtime(fs, settings_, ui);
      WinProgress win;
      fs.AddFile("in.AEF", input);
      fs.AddFile("in.fix", "earlier copy");
      fs.AddFile("next.AEF", ExportFile(""));
      fs.fail_reads_of = "in.AEF";
      fs.fail_reads_from = from;
      uint32_t completed = ProcessEF({"in.AEF", "next.AEF"}, win);
      ExpectFailedCleanly(fs, runtime, ui, completed, "Error reading in.AEF", input);
      ++injected;
    }
  }
  SetCopyBlockSize(kDefaultCopyBlockSize);
  std::printf("[ faults   ] %d read failures injected, each survived\n", injected);
}

TEST_F(ProcessEFTest, ViewThatCouldNotBeReadWholeFailsTheCopy) {
  std::string input = SeveralBlocks();
  fs_.AddFile("in.AEF", input);
  fs_.AddFile("in.fix", "earlier copy");
  fs_.AddFile("next.AEF", ExportFile(""));
  fs_.damage_views = true;
  uint32_t completed = Run({"in.AEF", "next.AEF"});
  ExpectFailedCleanly(fs_, runtime_, ui_, completed, "Error reading in.AEF", input);
}

// Only what changes passes through memory: the records go over in span copies, and a repaired
// name is written over them without breaking a span.
TEST_F(ProcessEFTest, UnchangedRecordsGoFromFileToFileInFewSpans) {
  auto file_with = [](const std::string& app_name) {
    std::string records;
    for (int i = 0; i < 2000; ++i) records += Record(0x41, std::string(1000, 'o'));
    records += Record(AEF_REC_APPNAME, app_name);
    for (int i = 0; i < 2000; ++i) records += Record(0x41, std::string(1000, 'p'));
    records += Record(AEF_REC_MODNAME, ModuleBody("clean"));
    return ExportFile(records);
  };
  fs_.AddFile("clean.AEF", file_with("A-B"));
  ASSERT_EQ(Run({"clean.AEF"}), 1u);
  long clean_copies = fs_.span_copies;
  long clean_writes = fs_.writes;
  EXPECT_LE(clean_copies, 8);

  fs_.AddFile("in.AEF", file_with("A:B"));
  ASSERT_EQ(Run({"in.AEF"}), 1u);
  EXPECT_EQ(fs_.Content("in.fix"), file_with("A-B"));
  EXPECT_EQ(fs_.span_copies - clean_copies, clean_copies);
  EXPECT_EQ(fs_.writes - clean_writes, clean_writes + 1);
  EXPECT_LE(fs_.largest_view, kDefaultCopyBlockSize);
}

// Repaired names that wait for their span pile up: many in a row after a long span, and on both
// sides of the point where a long span goes out, still land each in its place.
TEST_F(ProcessEFTest, ManyRepairedNamesWaitingForTheirSpanLandInPlace) {
  std::string records = Record(0x41, std::string(40000, 'o'));
  for (int i = 0; i < 600; ++i)
    records += Record(AEF_REC_MODNAME, ModuleBody("M:" + std::to_string(i)));
  records += Record(0x41, std::string(3 << 20, 'p'));  // longer than a span goes at once
  records += Record(AEF_REC_MODNAME, ModuleBody("Last:"));
  std::string input = ExportFile(records);
  std::string expected = input;
  std::replace(expected.begin(), expected.end(), ':', '-');
  fs_.AddFile("in.AEF", input);
  ASSERT_EQ(Run({"in.AEF"}), 1u);
  EXPECT_EQ(fs_.Content("in.fix"), expected);
  EXPECT_GT(fs_.span_copies, 1);
}

TEST_F(ProcessEFTest, InputCutOrRemovedBetweenTheTestAndTheCopy) {
  std::string input = SeveralBlocks();
  std::string long_module =
      ExportFile(Record(AEF_REC_MODNAME, ModuleBody(std::string(600000, 'm'))));
  std::string over_long = ExportFile(RecordWithLength(0x41, 0x7FFFFFFF, std::string(600000, 'x')));
  struct Case {
    const char* name;
    std::string input;
    size_t cut_to;  // npos: the input is removed instead
    bool completes;
  } cases[] = {
      {"removed, still open", input, std::string::npos, true},
      {"cut to nothing", input, 0, false},
      {"cut in a block", input, 300000, false},
      {"cut in the last byte", input, input.size() - 1, false},
      // Past the run-time's first read-ahead, or the cut would not be seen at all.
      {"cut in a module name longer than a block", long_module, 400000, false},
      {"cut in a rest copied as stored", over_long, 400000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetCopyBlockSize(4096);
    HeadlessFileSystem fs;
    HeadlessUi ui;
    ScopedRuntime runtime(fs, settings_, ui);
    WinProgress win;
    fs.AddFile("in.AEF", c.input);
    fs.AddFile("in.fix", "earlier copy");
    fs.AddFile("next.AEF", ExportFile(""));
    fs.before_create = [&](const std::string& name) {
      if (name != "in.fix.partial") return;
      if (c.cut_to == std::string::npos) {
        fs.Erase("in.AEF");
      } else {
        fs.Truncate("in.AEF", c.cut_to);
      }
    };
    uint32_t completed = ProcessEF({"in.AEF"}, win);
    SetCopyBlockSize(kDefaultCopyBlockSize);
    if (c.completes) {
      EXPECT_EQ(completed, 1u);
      EXPECT_TRUE(ui.boxes.empty());
      EXPECT_EQ(fs.Content("in.fix").size(), c.input.size());
      continue;
    }
    std::string left = c.input.substr(0, c.cut_to);
    ExpectFailedCleanly(fs, runtime, ui, completed, "Error reading in.AEF", left);
  }
}

}  // namespace
}  // namespace qef
