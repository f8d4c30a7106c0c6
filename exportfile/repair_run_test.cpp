// The repair run without output, and what it tells an observer.

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "exportfile/export_file.h"
#include "exportfile/process_ef.h"
#include "exportfile/record_copier.h"
#include "exportfile/record_observer.h"
#include "exportfile/repair.h"
#include "exportfile/testing/export_file_generator.h"
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

// One record as the observer was told about it, with its name body joined from the pieces.
struct Seen {
  RecordInfo info;
  std::string before;
  std::string after;
  size_t pieces = 0;
  std::string invalid_name;  // as told, with its reason
  std::string reason;
};

class RecordingObserver : public RecordObserver {
 public:
  void NameBody(std::string_view before, std::string_view after) override {
    pending_.before += before;
    pending_.after += after;
    ++pending_.pieces;
  }
  bool ChecksNames() const override { return checks_names; }
  void InvalidName(std::string_view name, const std::string& reason) override {
    EXPECT_TRUE(pending_.reason.empty()) << "one call per name";
    pending_.invalid_name = name;
    pending_.reason = reason;
  }
  void Record(const RecordInfo& record) override {
    pending_.info = record;
    seen.push_back(pending_);
    pending_ = Seen();
  }
  std::vector<Seen> seen;
  bool checks_names = false;

 private:
  Seen pending_;
};

// Sets the copier's block size for one scope.
struct BlockSize {
  explicit BlockSize(size_t bytes) { SetCopyBlockSize(bytes); }
  ~BlockSize() { SetCopyBlockSize(kDefaultCopyBlockSize); }
};

class RepairRunTest : public ::testing::Test {
 protected:
  RepairRunTest() : runtime_(fs_, settings_, ui_) { ui_.logging = false; }

  FileResult RunOne(const std::string& path, RunMode mode, RepairRun* run = nullptr) {
    observer_.seen.clear();
    RepairRun own(win_, ReadRepairSettings(), mode, &observer_);
    return (run ? *run : own).RepairFile(path);
  }

  HeadlessFileSystem fs_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  ScopedRuntime runtime_;
  WinProgress win_;
  RecordingObserver observer_;
};

std::string ExportFile(const std::string& records) { return HeaderRecord() + records; }

TEST_F(RepairRunTest, ObserverSeesEveryRecordWithItsShape) {
  const std::string head = ExportFile(Record(AEF_REC_APPNAME, "a:b"));
  const auto at = static_cast<int64_t>(head.size());
  const uint32_t beyond = static_cast<uint32_t>(head.size() + 6 + 3 + 1);
  struct Case {
    const char* name;
    std::string tail;
    RecordShape shape;
    uint64_t size;
    uint32_t missing;
    std::string before;  // the name body as the repair read it
  } cases[] = {
      {"whole", Record(AEF_REC_ENTSOURCE, "xyz"), RecordShape::kWhole, 9, 0, ""},
      {"fragment", std::string("\x20\x00\x05", 3), RecordShape::kFragment, 3, 0, ""},
      {"cut short name", RecordWithLength(AEF_REC_SPATH, 8, "x:y"), RecordShape::kPadded, 9, 5,
       "x:y     "},
      {"cut short module", RecordWithLength(AEF_REC_MODNAME, 6, std::string("m\0:", 3)),
       RecordShape::kPadded, 9, 3, std::string("m\0:   ", 6)},
      {"cut short other", RecordWithLength(AEF_REC_ENTSOURCE, 7, "x:y"), RecordShape::kPadded, 9, 4,
       ""},
      {"length beyond the file", RecordWithLength(AEF_REC_APPNAME, beyond, "x:y"),
       RecordShape::kRestCopied, 9, 0, ""},
      {"bit 31",
       RecordWithLength(AEF_REC_MODNAME, 0x80000003u, "x:y") + Record(AEF_REC_ENTSOURCE, "after"),
       RecordShape::kRestCopied, 9 + 11, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    observer_.seen.clear();
    fs_.AddFile("d.AEF", head + c.tail);
    ASSERT_EQ(RunOne("d.AEF", RunMode::kReadOnly), FileResult::kCompleted);
    ASSERT_EQ(observer_.seen.size(), 3u);
    EXPECT_EQ(observer_.seen[1].info.offset, at - 9);
    EXPECT_EQ(observer_.seen[1].before, "a:b");
    const Seen& last = observer_.seen[2];
    EXPECT_EQ(last.info.offset, at);
    EXPECT_EQ(last.info.shape, c.shape);
    EXPECT_EQ(last.info.size, c.size);
    EXPECT_EQ(last.info.missing, c.missing);
    EXPECT_EQ(last.before, c.before);
    EXPECT_EQ(
        std::string(reinterpret_cast<const char*>(last.info.header.raw), last.info.header.stored),
        c.tail.substr(0, std::min<size_t>(6, c.tail.size())));
  }
}

// On generated files, in small blocks too: the records tile the input from offset 0 to its end,
// and each name body pieced together is what the copy holds at that place.
TEST_F(RepairRunTest, ObservedRecordsTileTheInputAndNameBodiesMatchTheCopy) {
  for (size_t block : {size_t{6}, size_t{13}, kDefaultCopyBlockSize}) {
    BlockSize block_size(block);
    for (uint32_t seed = 1; seed <= 300; ++seed) {
      SCOPED_TRACE("block " + std::to_string(block) + " seed " + std::to_string(seed));
      const testing::GeneratedCase generated = testing::GenerateCase(seed);
      settings_ = HeadlessSettings();
      if (generated.settings.bad) settings_.Set(kSettingsKey, "Bad", *generated.settings.bad);
      if (generated.settings.good) settings_.Set(kSettingsKey, "Good", *generated.settings.good);
      fs_.AddFile("g.AEF", generated.file);
      observer_.seen.clear();
      ASSERT_EQ(RunOne("g.AEF", RunMode::kWrite), FileResult::kCompleted);
      const std::string copy = fs_.Content("g.fix");

      int64_t next = 0;
      for (const Seen& record : observer_.seen) {
        ASSERT_EQ(record.info.offset, next);
        next += static_cast<int64_t>(record.info.size);
        const bool name = record.info.shape != RecordShape::kFragment &&
                          record.info.shape != RecordShape::kRestCopied &&
                          IsNameRecord(record.info.header.Type());
        if (!name) {
          EXPECT_EQ(record.pieces, 0u);
          continue;
        }
        const uint32_t length = record.info.header.Length();
        ASSERT_EQ(record.before.size(), length);
        std::string present = generated.file.substr(record.info.offset + 6, length);
        EXPECT_EQ(record.before, present + std::string(length - present.size(), ' '));
        EXPECT_EQ(record.after, copy.substr(record.info.offset + 6, length));
      }
      EXPECT_EQ(next, static_cast<int64_t>(generated.file.size()));
    }
  }
}

TEST_F(RepairRunTest, DryRunTestsLikeTheRepairButWritesNothing) {
  fs_.AddFile("App.AEF", ExportFile(Record(AEF_REC_APPNAME, "a:b")));
  fs_.AddFile("App.MEF", ExportFile(Record(AEF_REC_APPNAME, "c")));
  fs_.AddFile("old.fix", ExportFile(Record(AEF_REC_APPNAME, "d")));
  fs_.AddFile("App.fix", "earlier copy");
  RepairRun run(win_, ReadRepairSettings(), RunMode::kDryRun, &observer_);
  EXPECT_EQ(run.RepairFile("App.AEF"), FileResult::kCompleted);
  EXPECT_EQ(observer_.seen[1].after, "a-b");
  EXPECT_EQ(run.RepairFile("App.MEF"), FileResult::kFailed);
  EXPECT_EQ(run.failure(),
            "App.MEF would be repaired to App.fix, the copy of an earlier file of this run, so "
            "it would not be processed");
  EXPECT_EQ(run.RepairFile("old.fix"), FileResult::kFailed);
  EXPECT_EQ(run.failure().rfind("old.fix already has the extension .fix", 0), 0u);
  EXPECT_EQ(run.RepairFile("none.AEF"), FileResult::kFailed);
  EXPECT_EQ(run.failure(), "Error reading none.AEF");
  EXPECT_TRUE(fs_.created.empty());
  EXPECT_TRUE(fs_.erased.empty());
  EXPECT_TRUE(fs_.renamed.empty());
  EXPECT_EQ(fs_.writes, 0);
  EXPECT_EQ(fs_.Content("App.fix"), "earlier copy");
  EXPECT_TRUE(ui_.boxes.empty()) << "the caller reports failures";
  EXPECT_EQ(runtime_.runtime().file_table().OpenCount(), 0u);
}

// An exception in the middle of a copy (a run-time error, a thread that could not be started)
// ends the run further up; the temporary file goes with it.
TEST_F(RepairRunTest, AnExceptionDuringTheCopyLeavesNoTemporaryFile) {
  class ThrowingObserver : public RecordObserver {
   public:
    void NameBody(std::string_view, std::string_view) override {}
    void Record(const RecordInfo& record) override {
      if (record.offset > 0) throw std::runtime_error("Resource temporarily unavailable");
    }
  } observer;
  fs_.AddFile("App.AEF", ExportFile(Record(AEF_REC_APPNAME, "a:b")));
  fs_.AddFile("App.fix", "earlier copy");
  RepairRun run(win_, ReadRepairSettings(), RunMode::kWrite, &observer);
  EXPECT_THROW(run.RepairFile("App.AEF"), std::runtime_error);
  EXPECT_EQ(fs_.Names(), (std::vector<std::string>{"App.AEF", "App.fix"}));
  EXPECT_EQ(fs_.Content("App.fix"), "earlier copy");
  EXPECT_EQ(runtime_.runtime().file_table().OpenCount(), 0u);
}

// An exception in the loop while the worker copies a span behind it, unwinding past the
// repair and the run-time: the worker is done with the input before either goes, and the copy
// is erased.
TEST_F(RepairRunTest, ExceptionWhileASpanIsCopiedBehindLeavesNoTemporaryFile) {
  struct ThrowWhileCopying : RecordObserver {
    void NameBody(std::string_view, std::string_view) override {}
    void Record(const RecordInfo& record) override {
      if (record.offset < (4 << 20)) return;  // past the first spans given to the worker
      while (!copying) std::this_thread::yield();
      thrown = true;
      throw std::runtime_error("Resource temporarily unavailable");
    }
    std::atomic<bool> copying = false;
    std::atomic<bool> thrown = false;
  } observer;
  std::string records;
  for (int i = 0; i < 80; ++i) records += Record(0x41, std::string(100000, 'a' + i % 26));
  fs_.AddFile("big.AEF", ExportFile(records));
  fs_.AddFile("big.fix", "earlier copy");
  // The worker's first copy waits for the throw, so the unwinding meets it at work.
  std::thread::id caller = std::this_thread::get_id();
  std::atomic<bool> behind = false;
  fs_.on_span_copy = [&] {
    observer.copying = true;
    if (std::this_thread::get_id() == caller) return;
    behind = true;
    while (!observer.thrown) std::this_thread::yield();
  };
  BlockSize block(256 * 1024);  // so that an 8 MB file is written behind
  try {
    HeadlessUi ui;
    ScopedRuntime runtime(fs_, settings_, ui);
    WinProgress win;
    RepairRun(win, ReadRepairSettings(), RunMode::kWrite, &observer).RepairFile("big.AEF");
  } catch (const std::runtime_error&) {
  }
  if (!behind) GTEST_SKIP() << "this build writes as it goes";
  EXPECT_TRUE(observer.thrown);
  EXPECT_EQ(fs_.Names(), (std::vector<std::string>{"big.AEF", "big.fix"}));
  EXPECT_EQ(fs_.Content("big.fix"), "earlier copy");
}

// Application and module names, as the checks see them; the source path is no name.
TEST_F(RepairRunTest, InvalidNamesAreToldAsTheReplacementLeftThem) {
  observer_.checks_names = true;
  struct Case {
    uint16_t type;
    std::string body;
    std::string name;  // told as invalid; empty: not told
    std::string reason;
  } cases[] = {
      {AEF_REC_APPNAME, "My App.", "My App.", "ends in \".\""},
      {AEF_REC_SPATH, "CON", "", ""},
      {AEF_REC_MODNAME, ModuleBody("CO-"), "", ""},
      {AEF_REC_MODNAME, ModuleBody("con.prg") + "tail. ", "con.prg", "reserved device name CON"},
      {AEF_REC_MODNAME, ModuleBody("Fine:Name"), "", ""},
      {AEF_REC_MODNAME, ModuleBody("Bad:."), "Bad-.", "ends in \".\""},
      {AEF_REC_MODNAME, ModuleBody("Tab\tName"), "Tab\tName", "control character 0x09 at 3"},
      {AEF_REC_MODNAME, ModuleBody("CON"), "CON", "reserved device name CON"},
      // Told as the replacement left it, before the counter writes over it (the copy: CO1).
      {AEF_REC_MODNAME, ModuleBody("con"), "con", "reserved device name CON"},
      {AEF_REC_MODNAME, "AUX", "AUX", "reserved device name AUX"},
      {AEF_REC_MODNAME, ModuleBody(""), "", "empty"},
      {AEF_REC_APPNAME, "", "", "empty"},
  };
  std::string records;
  for (const Case& c : cases) records += Record(c.type, c.body);
  fs_.AddFile("n.AEF", ExportFile(records));
  // The same through a view of the input and through a buffer read into.
  for (bool views : {true, false}) {
    SCOPED_TRACE(views ? "viewed" : "read");
    fs_.views = views;
    ASSERT_EQ(RunOne("n.AEF", RunMode::kWrite), FileResult::kCompleted);
    ASSERT_EQ(observer_.seen.size(), std::size(cases) + 1);
    for (size_t i = 0; i < std::size(cases); ++i) {
      SCOPED_TRACE(cases[i].body);
      EXPECT_EQ(observer_.seen[i + 1].invalid_name, cases[i].name);
      EXPECT_EQ(observer_.seen[i + 1].reason, cases[i].reason);
    }
    EXPECT_EQ(observer_.seen[9].after, ModuleBody("co1"));
  }
}

TEST_F(RepairRunTest, WithStrictNamesOnlyWhatTheCopyKeepsInvalidIsTold) {
  observer_.checks_names = true;
  settings_.Set(kSettingsKey, "StrictNames", "1");
  fs_.AddFile("n.AEF", ExportFile(Record(AEF_REC_APPNAME, "My App.") +
                                  Record(AEF_REC_MODNAME, ModuleBody("COM-")) +
                                  Record(AEF_REC_MODNAME, ModuleBody("COM1")) +
                                  Record(AEF_REC_MODNAME, ModuleBody(""))));
  for (bool views : {true, false}) {
    SCOPED_TRACE(views ? "viewed" : "read");
    fs_.views = views;
    ASSERT_EQ(RunOne("n.AEF", RunMode::kWrite), FileResult::kCompleted);
    ASSERT_EQ(observer_.seen.size(), 5u);
    EXPECT_EQ(observer_.seen[1].after, "My App-");
    EXPECT_EQ(observer_.seen[1].reason, "");
    EXPECT_EQ(observer_.seen[2].reason, "");
    // Mended to COM-, which is taken: the counter makes it COM1 again.
    EXPECT_EQ(observer_.seen[3].after, ModuleBody("COM1"));
    EXPECT_EQ(observer_.seen[3].invalid_name, "COM1");
    EXPECT_EQ(observer_.seen[3].reason, "reserved device name COM1");
    EXPECT_EQ(observer_.seen[4].reason, "empty");
    // The copy holds what the observer was told.
    EXPECT_NE(fs_.Content("n.fix").find("My App-"), std::string::npos);
  }
}

// An application name is held whole only when it is checked or mended, like a module name; one
// longer than the buffer gets memory of its own (never more than the file holds).
TEST_F(RepairRunTest, ApplicationNameLongerThanTheBufferIsCheckedAndMendedWhole) {
  BlockSize block_size(13);
  const std::string name = std::string(40, 'n') + "\x01" + std::string(20, 'm') + ". .";
  const std::string mended = std::string(40, 'n') + "-" + std::string(20, 'm') + "---";
  struct Case {
    const char* what;
    std::string body;
    uint32_t length;   // declared; beyond the body when it is cut short
    std::string copy;  // of the body, with StrictNames on
  } cases[] = {
      {"no zero byte", name, 64, mended},
      {"zero byte, tail untouched", name + std::string("\0x. ", 4), 68,
       mended + std::string("\0x. ", 4)},
      // The missing bytes are spaces, and so part of the name's trailing run.
      {"cut short", std::string(40, 'n') + ".", 50, std::string(40, 'n') + std::string(10, '-')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = ExportFile(RecordWithLength(AEF_REC_APPNAME, c.length, c.body));
    fs_.AddFile("a.AEF", file);
    for (int variant = 0; variant < 8; ++variant) {
      bool strict = (variant & 1) != 0, checks = (variant & 2) != 0, views = (variant & 4) != 0;
      SCOPED_TRACE(std::string(strict ? "strict" : "default") + (checks ? ", checked" : "") +
                   (views ? ", viewed" : ", read"));
      fs_.views = views;
      settings_ = HeadlessSettings();
      if (strict) settings_.Set(kSettingsKey, "StrictNames", "1");
      observer_.checks_names = checks;
      ASSERT_EQ(RunOne("a.AEF", RunMode::kWrite), FileResult::kCompleted);
      ASSERT_EQ(observer_.seen.size(), 2u);
      const Seen& app = observer_.seen[1];
      EXPECT_EQ(app.pieces == 1, strict || checks) << app.pieces << " pieces";
      std::string padded = c.body + std::string(c.length - c.body.size(), ' ');
      EXPECT_EQ(app.after, strict ? c.copy : padded);
      EXPECT_EQ(fs_.Content("a.fix").substr(file.size() - c.body.size()), app.after);
      EXPECT_EQ(app.reason.empty(), strict || !checks) << app.reason;
    }
  }
}

}  // namespace
}  // namespace qef
