// The repair run without output, and what it tells an observer.

#include <gtest/gtest.h>

#include <string>
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
using testing::Record;
using testing::RecordWithLength;

// One record as the observer was told about it, with its name body joined from the pieces.
struct Seen {
  RecordInfo info;
  std::string before;
  std::string after;
  size_t pieces = 0;
};

class RecordingObserver : public RecordObserver {
 public:
  void NameBody(std::string_view before, std::string_view after) override {
    pending_.before += before;
    pending_.after += after;
    ++pending_.pieces;
  }
  void Record(const RecordInfo& record) override {
    pending_.info = record;
    seen.push_back(pending_);
    pending_ = Seen();
  }
  std::vector<Seen> seen;

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
      {"whole", Record(0x0041, "xyz"), RecordShape::kWhole, 9, 0, ""},
      {"fragment", std::string("\x20\x00\x05", 3), RecordShape::kFragment, 3, 0, ""},
      {"cut short name", RecordWithLength(AEF_REC_SPATH, 8, "x:y"), RecordShape::kPadded, 9, 5,
       "x:y     "},
      {"cut short module", RecordWithLength(AEF_REC_MODNAME, 6, std::string("m\0:", 3)),
       RecordShape::kPadded, 9, 3, std::string("m\0:   ", 6)},
      {"cut short other", RecordWithLength(0x0041, 7, "x:y"), RecordShape::kPadded, 9, 4, ""},
      {"length beyond the file", RecordWithLength(AEF_REC_APPNAME, beyond, "x:y"),
       RecordShape::kRestCopied, 9, 0, ""},
      {"bit 31", RecordWithLength(AEF_REC_MODNAME, 0x80000003u, "x:y") + Record(0x41, "after"),
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
            "App.MEF would be repaired to App.fix, which this run has already written, so it is "
            "not processed");
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

}  // namespace
}  // namespace qef
