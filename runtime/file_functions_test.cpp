#include "runtime/file_functions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <iterator>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/headless/headless_file_system.h"
#include "runtime/file_functions_test.h"
#include "runtime/file_table.h"

namespace qef {
namespace {

constexpr size_t kBuffer = 256 * 1024;  // the file functions' internal buffer

// Bytes that differ at nearby offsets, so a read from the wrong place shows.
std::string Pattern(size_t size, unsigned seed = 1) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

std::string ReadString(FHandle handle, size_t count) {
  std::string bytes(count, '\0');
  bytes.resize(FRead(handle, bytes.data(), count));
  return bytes;
}

// Reads the whole rest of the file in pieces whose sizes cycle through `sizes`.
std::string ReadInPieces(FHandle handle, const std::vector<size_t>& sizes) {
  std::string all;
  for (size_t i = 0;; ++i) {
    std::string piece = ReadString(handle, sizes[i % sizes.size()]);
    all += piece;
    if (piece.size() < sizes[i % sizes.size()]) return all;
  }
}

class HeadlessTestBackend : public FileTestBackend {
 public:
  FileSystem& files() override { return files_; }
  std::string Path(const std::string& name) const override { return "/mem/" + name; }
  void Put(const std::string& name, const std::string& content) override {
    files_.AddFile(Path(name), content);
  }
  std::optional<std::string> Get(const std::string& name) const override {
    if (!files_.Exists(Path(name))) return std::nullopt;
    return files_.Content(Path(name));
  }

 private:
  HeadlessFileSystem files_;
};

INSTANTIATE_TEST_SUITE_P(Headless, FileFunctionsTest,
                         testing::Values(FileBackendParam{
                             "Headless",
                             []() -> std::unique_ptr<FileTestBackend> {
                               return std::make_unique<HeadlessTestBackend>();
                             }}),
                         FileBackendName);

TEST_P(FileFunctionsTest, FieldByFieldReadsAcrossTheBufferBoundaryReturnTheFileInOrder) {
  std::string content = Pattern(2 * kBuffer + 1000);
  backend_->Put("in", content);
  FHandle handle = FOpen(Path("in"), FO_READ);
  ASSERT_NE(handle, F_ERROR);
  EXPECT_EQ(ReadInPieces(handle, {1, 2, 4, 7, 13, 4, 2}), content);
  EXPECT_TRUE(FClose(handle));
}

TEST_P(FileFunctionsTest, ReadLargerThanTheBufferAfterAFieldReturnsTheRightBytes) {
  std::string content = Pattern(3 * kBuffer);
  backend_->Put("in", content);
  FHandle handle = FOpen(Path("in"), FO_READ);
  ASSERT_NE(handle, F_ERROR);
  EXPECT_EQ(ReadString(handle, 3), content.substr(0, 3));
  EXPECT_EQ(ReadString(handle, kBuffer + 5000), content.substr(3, kBuffer + 5000));
  EXPECT_EQ(ReadString(handle, 10), content.substr(kBuffer + 5003, 10));
  EXPECT_EQ(ReadString(handle, 2 * kBuffer), content.substr(kBuffer + 5013));
  EXPECT_TRUE(FClose(handle));
}

TEST_P(FileFunctionsTest, ShortReadAtTheEndLeavesTheRestOfTheBufferUntouched) {
  struct Case {
    size_t file_size;
    size_t start;
    size_t count;
  };
  for (const Case& c : {Case{10, 5, 16}, Case{100, 0, kBuffer + 100},
                        Case{kBuffer + 10, kBuffer, kBuffer}, Case{10, 10, 4}}) {
    SCOPED_TRACE(testing::Message() << "size " << c.file_size << " start " << c.start);
    std::string content = Pattern(c.file_size);
    backend_->Put("in", content);
    FHandle handle = FOpen(Path("in"), FO_READ);
    ASSERT_NE(handle, F_ERROR);
    ASSERT_EQ(FSeek(handle, static_cast<int64_t>(c.start), 0), static_cast<int64_t>(c.start));
    std::string buffer(c.count, '\xAA');
    size_t expected = c.file_size - c.start;
    EXPECT_EQ(FRead(handle, buffer.data(), c.count), expected);
    EXPECT_EQ(buffer.substr(0, expected), content.substr(c.start));
    EXPECT_EQ(buffer.substr(expected), std::string(c.count - expected, '\xAA'));
    EXPECT_TRUE(FClose(handle));
  }
}

TEST_P(FileFunctionsTest, EofIsTrueExactlyAtTheEnd) {
  for (size_t size : {size_t{1}, size_t{100}, kBuffer, kBuffer + 1, 2 * kBuffer + 5}) {
    SCOPED_TRACE(testing::Message() << "size " << size);
    backend_->Put("in", Pattern(size));
    FHandle handle = FOpen(Path("in"), FO_READ);
    ASSERT_NE(handle, F_ERROR);
    EXPECT_FALSE(FEof(handle));
    ReadString(handle, size - 1);
    EXPECT_FALSE(FEof(handle));
    EXPECT_EQ(ReadString(handle, 1).size(), 1u);
    EXPECT_TRUE(FEof(handle));
    EXPECT_TRUE(FClose(handle));
  }
}

TEST_P(FileFunctionsTest, EofIsTrueAtOnceForAnEmptyFile) {
  backend_->Put("in", "");
  FHandle handle = FOpen(Path("in"), FO_READ);
  ASSERT_NE(handle, F_ERROR);
  EXPECT_TRUE(FEof(handle));
  EXPECT_TRUE(FClose(handle));
}

TEST_P(FileFunctionsTest, EofCountsBytesStillBufferedForWriting) {
  FHandle handle = FCreate(Path("out"));
  ASSERT_NE(handle, F_ERROR);
  EXPECT_TRUE(FEof(handle));
  EXPECT_EQ(FWrite(handle, "abc", 3), 3u);
  EXPECT_TRUE(FEof(handle));
  EXPECT_EQ(FSeek(handle, 1, 0), 1);
  EXPECT_FALSE(FEof(handle));
  EXPECT_TRUE(FClose(handle));
}

TEST_P(FileFunctionsTest, SeekReturnsThePositionForEachOrigin) {
  constexpr int64_t kSize = 1000;
  struct Case {
    int64_t offset;
    int origin;
    int64_t expected;  // -1: refused, the position stays at 10
  };
  const Case cases[] = {
      {5, 0, 5},   {5, 1, 15},   {-10, 1, 0}, {0, 2, kSize}, {-3, 2, kSize - 3},
      {-1, 0, -1}, {-11, 1, -1}, {0, 3, -1},  {0, 1, 10},    {kSize + 10, 0, kSize + 10},
  };
  std::string content = Pattern(kSize);
  backend_->Put("in", content);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "offset " << c.offset << " origin " << c.origin);
    FHandle handle = FOpen(Path("in"), FO_READ);
    ASSERT_NE(handle, F_ERROR);
    ReadString(handle, 10);
    EXPECT_EQ(FSeek(handle, c.offset, c.origin), c.expected);
    int64_t position = c.expected < 0 ? 10 : c.expected;
    EXPECT_EQ(ReadString(handle, 1),
              position < kSize ? content.substr(static_cast<size_t>(position), 1) : "");
    EXPECT_TRUE(FClose(handle));
  }
}

TEST_P(FileFunctionsTest, ReadAfterSeekReturnsTheBytesAtTheTarget) {
  std::string content = Pattern(3 * kBuffer);
  backend_->Put("in", content);
  FHandle handle = FOpen(Path("in"), FO_READ);
  ASSERT_NE(handle, F_ERROR);
  ReadString(handle, 100);  // fills the read-ahead window with the first kBuffer bytes
  for (size_t target : {size_t{50}, size_t{0}, size_t{200000}, kBuffer - 2, kBuffer, size_t{7},
                        2 * kBuffer + 3, kBuffer + 1, 2 * kBuffer - 1}) {
    SCOPED_TRACE(testing::Message() << "target " << target);
    ASSERT_EQ(FSeek(handle, static_cast<int64_t>(target), 0), static_cast<int64_t>(target));
    EXPECT_EQ(ReadString(handle, 5), content.substr(target, 5));
  }
  EXPECT_TRUE(FClose(handle));
}

// The backend is moved only before its next write, and only when it is elsewhere: whatever the
// seeks in between, small, large and copied bytes land where the last one put the position.
TEST_P(FileFunctionsTest, WritesLandWhereTheLastSeekPutThePosition) {
  struct Step {
    int64_t seek;  // -1: none
    size_t size;   // bytes written there (0: none)
    bool copied;   // from the input by a span copy instead
  };
  const Step steps[] = {
      {-1, 100, false}, {50, 0, false},          {100, kBuffer + 10, false},
      {20, 5, false},   {7, kBuffer + 1, false}, {static_cast<int64_t>(kBuffer), 2 * kBuffer, true},
      {7, 3, false},    {0, 0, false},           {3 * kBuffer + 10, 0, false},
      {-1, 4, false},
  };
  std::string input = Pattern(2 * kBuffer, 99);
  backend_->Put("in", input);
  FHandle in = FOpen(Path("in"), FO_READ);
  FHandle out = FCreate(Path("out"));
  ASSERT_NE(in, F_ERROR);
  ASSERT_NE(out, F_ERROR);
  std::string expected;
  size_t position = 0;
  unsigned seed = 0;
  for (const Step& step : steps) {
    if (step.seek >= 0) {
      ASSERT_EQ(FSeek(out, step.seek, 0), step.seek);
      position = static_cast<size_t>(step.seek);
    }
    if (step.size == 0) continue;
    std::string bytes = step.copied ? input.substr(0, step.size) : Pattern(step.size, ++seed);
    if (step.copied) {
      ASSERT_EQ(FCopySpan(out, in, 0, step.size), step.size);
    } else {
      ASSERT_EQ(FWrite(out, bytes.data(), bytes.size()), bytes.size());
    }
    if (expected.size() < position + bytes.size()) expected.resize(position + bytes.size());
    expected.replace(position, bytes.size(), bytes);
    position += bytes.size();
  }
  EXPECT_TRUE(FClose(out));
  EXPECT_TRUE(FClose(in));
  EXPECT_EQ(backend_->Get("out"), expected);
}

TEST_P(FileFunctionsTest, WriteAfterReadWritesAtTheLogicalPosition) {
  std::string content = Pattern(kBuffer + 100);
  backend_->Put("data", content);
  FHandle handle = FOpen(Path("data"), FO_READWRITE);
  ASSERT_NE(handle, F_ERROR);
  EXPECT_EQ(ReadString(handle, 3), content.substr(0, 3));
  EXPECT_EQ(FWrite(handle, "XY", 2), 2u);
  EXPECT_EQ(ReadString(handle, 4), content.substr(5, 4));
  EXPECT_EQ(FWrite(handle, "Z", 1), 1u);
  EXPECT_EQ(FSeek(handle, 0, 1), 10);
  EXPECT_EQ(FSeek(handle, 0, 2), static_cast<int64_t>(content.size()));
  EXPECT_TRUE(FClose(handle));

  content.replace(3, 2, "XY");
  content.replace(9, 1, "Z");
  EXPECT_EQ(backend_->Get("data"), content);
}

TEST_P(FileFunctionsTest, CreateEmptiesAnExistingFile) {
  backend_->Put("out", "old content");
  FHandle handle = FCreate(Path("out"));
  ASSERT_NE(handle, F_ERROR);
  EXPECT_EQ(FWrite(handle, "new", 3), 3u);
  EXPECT_TRUE(FClose(handle));
  EXPECT_EQ(backend_->Get("out"), "new");
}

TEST_P(FileFunctionsTest, CreateNewRefusesAnExistingName) {
  backend_->Put("out", "kept");
  EXPECT_EQ(FCreateNew(Path("out")), F_ERROR);
  EXPECT_NE(FError(), 0);
  EXPECT_EQ(backend_->Get("out"), "kept");
}

TEST_P(FileFunctionsTest, CreateNewMakesAFileOfAFreshName) {
  FHandle handle = FCreateNew(Path("out"));
  ASSERT_NE(handle, F_ERROR);
  EXPECT_EQ(FError(), 0);
  EXPECT_EQ(FWrite(handle, "abc", 3), 3u);
  EXPECT_TRUE(FClose(handle));
  EXPECT_EQ(backend_->Get("out"), "abc");
}

TEST_P(FileFunctionsTest, OpenOfAMissingFileFails) {
  EXPECT_EQ(FOpen(Path("missing"), FO_READ), F_ERROR);
  EXPECT_NE(FError(), 0);
}

TEST_P(FileFunctionsTest, EraseRemovesTheFileAndFailsForAMissingOne) {
  backend_->Put("old", "x");
  EXPECT_TRUE(FErase(Path("old")));
  EXPECT_EQ(backend_->Get("old"), std::nullopt);
  EXPECT_FALSE(FErase(Path("old")));
  EXPECT_NE(FError(), 0);
}

TEST_P(FileFunctionsTest, RenameMovesTheContentToTheNewName) {
  backend_->Put("from", "content");
  EXPECT_TRUE(FRename(Path("from"), Path("to")));
  EXPECT_EQ(backend_->Get("from"), std::nullopt);
  EXPECT_EQ(backend_->Get("to"), "content");
  EXPECT_FALSE(FRename(Path("from"), Path("again")));
  EXPECT_NE(FError(), 0);
}

TEST_P(FileFunctionsTest, BadHandlesFailAndSetTheErrorCode) {
  backend_->Put("in", "abc");
  FHandle closed = FOpen(Path("in"), FO_READ);
  ASSERT_NE(closed, F_ERROR);
  ASSERT_TRUE(FClose(closed));
  for (FHandle handle : {FHandle{0}, F_ERROR, FHandle{99}, closed}) {
    SCOPED_TRACE(testing::Message() << "handle " << handle);
    char byte = 'u';
    EXPECT_EQ(FRead(handle, &byte, 1), 0u);
    EXPECT_NE(FError(), 0);
    EXPECT_EQ(byte, 'u');
    EXPECT_EQ(FWrite(handle, "x", 1), 0u);
    EXPECT_NE(FError(), 0);
    EXPECT_EQ(FSeek(handle, 0, 0), -1);
    EXPECT_NE(FError(), 0);
    EXPECT_TRUE(FEof(handle));
    EXPECT_NE(FError(), 0);
    EXPECT_FALSE(FClose(handle));
    EXPECT_NE(FError(), 0);
  }
  EXPECT_EQ(backend_->Get("in"), "abc");
}

TEST_P(FileFunctionsTest, SuccessResetsTheErrorCode) {
  backend_->Put("in", "abcdef");
  backend_->Put("old", "x");
  FHandle handle = FOpen(Path("in"), FO_READWRITE);
  ASSERT_NE(handle, F_ERROR);
  FHandle second = FOpen(Path("in"), FO_READ);
  ASSERT_NE(second, F_ERROR);
  std::vector<FHandle> opened;
  char byte;
  const std::pair<const char*, std::function<void()>> operations[] = {
      {"FOpen", [&] { opened.push_back(FOpen(Path("in"), FO_READ)); }},
      {"FCreate", [&] { opened.push_back(FCreate(Path("out"))); }},
      {"FCreateNew", [&] { opened.push_back(FCreateNew(Path("fresh"))); }},
      {"FRead", [&] { FRead(handle, &byte, 1); }},
      {"FWrite", [&] { FWrite(handle, "x", 1); }},
      {"FSeek", [&] { FSeek(handle, 0, 0); }},
      {"FEof", [&] { FEof(handle); }},
      {"FRename", [&] { FRename(Path("old"), Path("new")); }},
      {"FErase", [&] { FErase(Path("new")); }},
      {"FClose", [&] { FClose(second); }},
  };
  for (const auto& [name, operation] : operations) {
    SCOPED_TRACE(name);
    FRead(FHandle{99}, &byte, 1);
    ASSERT_NE(FError(), 0);
    operation();
    EXPECT_EQ(FError(), 0);
  }
  for (FHandle extra : opened) FClose(extra);
  FClose(handle);
}

TEST_P(FileFunctionsTest, MultiMegabyteFileWrittenInOddPiecesReadsBackIdentical) {
  std::string content = Pattern(3 * 1024 * 1024 + 17, 7);
  FHandle out = FCreate(Path("big"));
  ASSERT_NE(out, F_ERROR);
  const size_t sizes[] = {1, 3, 4093, 65537, kBuffer + 3, 7, kBuffer - 1};
  for (size_t done = 0, i = 0; done < content.size(); ++i) {
    size_t n = std::min(sizes[i % std::size(sizes)], content.size() - done);
    ASSERT_EQ(FWrite(out, content.data() + done, n), n);
    done += n;
  }
  EXPECT_TRUE(FClose(out));
  EXPECT_EQ(backend_->Get("big"), content);

  FHandle in = FOpen(Path("big"), FO_READ);
  ASSERT_NE(in, F_ERROR);
  EXPECT_EQ(ReadInPieces(in, {kBuffer + 11, 5, 99991}), content);
  EXPECT_TRUE(FEof(in));
  EXPECT_TRUE(FClose(in));
}

TEST_P(FileFunctionsTest, SpanCopyGoesAfterWhatWasWrittenAndLeavesTheInputWhereItWas) {
  std::string content = Pattern(2 * kBuffer + 999, 3);
  backend_->Put("in", content);
  FHandle in = FOpen(Path("in"), FO_READ);
  FHandle out = FCreate(Path("out"));
  ASSERT_NE(in, F_ERROR);
  ASSERT_NE(out, F_ERROR);
  EXPECT_EQ(ReadString(in, 10), content.substr(0, 10));
  ASSERT_EQ(FWrite(out, "head", 4), 4u);
  EXPECT_EQ(FCopySpan(out, in, 5, kBuffer + 7), kBuffer + 7);
  EXPECT_EQ(FError(), 0);
  ASSERT_EQ(FWrite(out, "tail", 4), 4u);
  EXPECT_EQ(FCopySpan(out, in, 2 * kBuffer, 3), 3u);
  EXPECT_EQ(ReadString(in, 10), content.substr(10, 10));
  EXPECT_TRUE(FClose(out));
  EXPECT_TRUE(FClose(in));
  EXPECT_EQ(backend_->Get("out"),
            "head" + content.substr(5, kBuffer + 7) + "tail" + content.substr(2 * kBuffer, 3));
}

// Writes, span copies and writes over earlier bytes come out in their order, whether the file
// is written as it goes or behind the caller; reading the input between them sees its bytes.
TEST_P(FileFunctionsTest, WritesCopiesAndWritesOverComeOutInOrder) {
  std::string content = Pattern(3 * kBuffer, 5);
  for (bool behind : {false, true}) {
    SCOPED_TRACE(behind ? "written behind" : "written as it goes");
    backend_->Put("in", content);
    FHandle in = FOpen(Path("in"), FO_READ);
    FHandle out = FCreate(Path("out"));
    ASSERT_NE(out, F_ERROR);
    // False where the build has no threads: the same result.
    bool written_behind = behind && FWriteBehind(out);
    FileTable& table = runtime_->runtime().file_table();
    EXPECT_EQ(table.WritingBehind(), written_behind ? 1u : 0u);
    std::string big = Pattern(kBuffer + 5, 6);
    std::string expected;
    auto write = [&](const std::string& bytes) {
      EXPECT_EQ(FWrite(out, bytes.data(), bytes.size()), bytes.size());
      expected += bytes;
    };
    auto copy = [&](int64_t offset, uint64_t count) {
      EXPECT_EQ(FCopySpan(out, in, offset, count), count);
      expected += content.substr(static_cast<size_t>(offset), count);
    };
    auto write_over = [&](size_t offset, const std::string& bytes) {
      EXPECT_EQ(FWriteAt(out, static_cast<int64_t>(offset), bytes.data(), bytes.size()),
                bytes.size());
      expected.replace(offset, bytes.size(), bytes);
    };
    write("head");
    copy(7, 2 * kBuffer);
    write_over(2, "HEAD");  // over the buffered write and the copy
    write(big);
    EXPECT_EQ(ReadString(in, 9), content.substr(0, 9));
    copy(kBuffer, 100);
    write_over(expected.size() - 50, "over the last copy");
    write("tail");
    EXPECT_EQ(FWriteAt(out, static_cast<int64_t>(expected.size()) - 2, "xyz", 3), 0u);
    EXPECT_EQ(FError(), kFileWriteFault);  // only over what the file holds
    EXPECT_TRUE(FClose(out));
    EXPECT_EQ(table.WritingBehind(), 0u) << "a closed file has no worker";
    EXPECT_TRUE(FClose(in));
    EXPECT_EQ(backend_->Get("out"), expected);
  }
}

TEST_P(FileFunctionsTest, SpanCopyStopsAtTheEndOfTheInputWithoutAnError) {
  std::string content = Pattern(5000, 4);
  backend_->Put("in", content);
  FHandle in = FOpen(Path("in"), FO_READ);
  FHandle out = FCreate(Path("out"));
  EXPECT_EQ(FCopySpan(out, in, 4900, 1000), 100u);
  EXPECT_EQ(FError(), 0);
  EXPECT_EQ(FCopySpan(out, in, 6000, 10), 0u);
  EXPECT_EQ(FError(), 0);
  EXPECT_TRUE(FClose(out));
  EXPECT_TRUE(FClose(in));
  EXPECT_EQ(backend_->Get("out"), content.substr(4900));
}

TEST_P(FileFunctionsTest, ViewShowsTheBytesAtItsOffsetUpToTheEndOfTheFile) {
  std::string content = Pattern(3 * 4096 + 77, 5);
  backend_->Put("in", content);
  FHandle in = FOpen(Path("in"), FO_READ);
  ASSERT_NE(in, F_ERROR);
  struct Case {
    int64_t offset;
    size_t size;
    size_t expected;
  } cases[] = {{0, 100, 100},
               {4097, 5000, 5000},
               {12000, 4096, content.size() - 12000},
               {static_cast<int64_t>(content.size()), 10, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offset);
    std::unique_ptr<FileView> view = FView(in, c.offset, c.size);
    ASSERT_EQ(view != nullptr, backend_->HasViews());
    if (view == nullptr) continue;
    EXPECT_EQ(std::string(view->data(), view->size()),
              content.substr(static_cast<size_t>(c.offset), c.expected));
  }
  EXPECT_TRUE(FClose(in));
}

// Faults injected at the seam, which only the in-memory file system can do.
class FileFaultTest : public testing::Test {
 protected:
  HeadlessFileSystem files_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  ScopedRuntime runtime_{files_, settings_, ui_};
};

TEST_F(FileFaultTest, CloseReturnsFalseWhenAWriteFailed) {
  struct Case {
    const char* name;
    long fail_write_number;
    std::vector<size_t> writes;
  };
  const Case cases[] = {
      {"buffered write fails at close", 1, {10}},
      {"large write fails at once", 1, {kBuffer + 1}},
      {"flush after a good large write fails", 2, {kBuffer, 10}},
      {"failed flush of a full buffer, nothing pending at close", 1, {kBuffer - 1, 2, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    files_.writes = 0;
    files_.fail_write_number = c.fail_write_number;
    FHandle handle = FCreate("out");
    ASSERT_NE(handle, F_ERROR);
    for (size_t size : c.writes) FWrite(handle, std::string(size, 'w').data(), size);
    EXPECT_FALSE(FClose(handle));
    EXPECT_NE(FError(), 0);
  }
}

TEST_F(FileFaultTest, WriteThatFailsReportsFewerBytesAndSetsTheErrorCode) {
  files_.fail_write_number = 1;
  FHandle handle = FCreate("out");
  ASSERT_NE(handle, F_ERROR);
  std::string block(kBuffer + 1, 'w');
  EXPECT_LT(FWrite(handle, block.data(), block.size()), block.size());
  EXPECT_NE(FError(), 0);
  EXPECT_LT(FWrite(handle, "x", 1), 1u);
  EXPECT_NE(FError(), 0);
  FClose(handle);
}

TEST_F(FileFaultTest, FailedReadSetsTheErrorCode) {
  files_.AddFile("in", "abc");
  files_.fail_reads_of = "in";
  FHandle handle = FOpen("in", FO_READ);
  ASSERT_NE(handle, F_ERROR);
  char buffer[4] = {'u', 'u', 'u', 'u'};
  EXPECT_EQ(FRead(handle, buffer, sizeof buffer), 0u);
  EXPECT_NE(FError(), 0);
  EXPECT_EQ(std::string(buffer, 4), "uuuu");
  FClose(handle);
}

TEST_F(FileFaultTest, FailedSpanCopySaysWhichSideFailed) {
  struct Case {
    const char* name;
    bool fail_reads;
    long fail_write_number;
    int error;
  } cases[] = {
      {"the input cannot be read", true, 0, kFileReadFault},
      {"the output cannot be written", false, 1, kFileWriteFault},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HeadlessFileSystem files;
    ScopedRuntime runtime(files, settings_, ui_);
    files.AddFile("in", Pattern(1000));
    files.fail_reads_of = c.fail_reads ? "in" : "";
    files.fail_write_number = c.fail_write_number;
    FHandle in = FOpen("in", FO_READ);
    FHandle out = FCreate("out");
    EXPECT_LT(FCopySpan(out, in, 0, 1000), 1000u);
    EXPECT_EQ(FError(), c.error);
    EXPECT_EQ(FClose(out), c.fail_reads);  // a failed write is not forgotten
    FClose(in);
  }
}

// Behind the caller, a failure shows at a later call and at the close, and says which side
// failed; a copy cut short by the input's end is a read failure, since it was taken as done,
// and one that throws on the worker is a write failure.
TEST_F(FileFaultTest, FailureBehindTheCallerShowsLaterAndSaysWhichSide) {
  struct Case {
    const char* name;
    long fail_write_number;
    size_t cut_input_to;
    bool copy_throws;
    int error;
  } cases[] = {
      {"a write fails", 1, std::string::npos, false, kFileWriteFault},
      {"a span copy fails to write", 2, std::string::npos, false, kFileWriteFault},
      {"the input is cut before its copy", 0, 1000, false, kFileReadFault},
      {"a span copy throws", 0, std::string::npos, true, kFileWriteFault},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HeadlessFileSystem files;
    ScopedRuntime runtime(files, settings_, ui_);
    files.AddFile("in", Pattern(4 * kBuffer));
    FHandle in = FOpen("in", FO_READ);
    FHandle out = FCreate("out");
    if (!FWriteBehind(out)) GTEST_SKIP() << "this build writes as it goes";
    files.fail_write_number = c.fail_write_number;
    if (c.cut_input_to != std::string::npos) files.Truncate("in", c.cut_input_to);
    if (c.copy_throws) files.on_span_copy = [] { throw std::bad_alloc(); };
    std::string block(kBuffer, 'w');
    EXPECT_EQ(FWrite(out, block.data(), block.size()), block.size());
    FCopySpan(out, in, 0, 2 * kBuffer);  // taken, or refused if the write failed already
    EXPECT_FALSE(FWaitBehind(out));
    EXPECT_EQ(FError(), c.error);
    EXPECT_EQ(FCopySpan(out, in, 0, 10), 0u);
    EXPECT_EQ(FError(), c.error);
    EXPECT_FALSE(FClose(out));
    EXPECT_EQ(FError(), c.error);
    FClose(in);
  }
}

// A run-time that ends with files still open (an exception unwound past their owner) lets the
// worker finish its copy before it drops the input, which comes first in the table.
TEST_F(FileFaultTest, RunTimeEndingMidCopyStopsTheWorkerBeforeDroppingTheInput) {
  HeadlessFileSystem files;
  files.AddFile("in", Pattern(4 * kBuffer));
  std::atomic<bool> copying = false;
  std::atomic<bool> ending = false;
  files.on_span_copy = [&] {
    copying = true;
    // Held until the run-time ends, then long enough for it to drop the files too early.
    while (!ending) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  };
  {
    ScopedRuntime runtime(files, settings_, ui_);
    FHandle in = FOpen("in", FO_READ);
    FHandle out = FCreate("out");
    if (!FWriteBehind(out)) GTEST_SKIP() << "this build writes as it goes";
    EXPECT_EQ(FCopySpan(out, in, 0, 4 * kBuffer), 4 * kBuffer);
    while (!copying) std::this_thread::yield();
    ending = true;
  }
  EXPECT_EQ(files.Content("out"), Pattern(4 * kBuffer));
}

TEST_F(FileFaultTest, ViewOfBytesThatCannotBeReadIsRefused) {
  files_.AddFile("in", Pattern(1000));
  files_.fail_reads_of = "in";
  files_.fail_reads_from = 500;
  FHandle in = FOpen("in", FO_READ);
  EXPECT_NE(FView(in, 0, 500), nullptr);
  EXPECT_EQ(FView(in, 0, 501), nullptr);
  FClose(in);
}

TEST_F(FileFaultTest, FieldReadsReachTheBackendAsLargeBlocks) {
  files_.AddFile("in", Pattern(kBuffer * 2));
  FHandle handle = FOpen("in", FO_READ);
  ASSERT_NE(handle, F_ERROR);
  ReadInPieces(handle, {4});
  EXPECT_EQ(files_.largest_read, kBuffer);
  FHandle out = FCreate("out");
  for (int i = 0; i < 1000; ++i) FWrite(out, "abcd", 4);
  EXPECT_TRUE(FClose(out));
  EXPECT_EQ(files_.writes, 1);
  EXPECT_TRUE(FClose(handle));
}

// An export file's copy reads it as its header test did, then whole: the rest goes straight into
// the caller's memory, in one read that also finds the end. (Below the first buffer's size the
// test's read holds the whole file, and one more read finds its end.)
TEST_F(FileFaultTest, AWholeFileReadAfterItsHeaderTestReachesTheBackendTwice) {
  for (size_t size :
       {size_t{100}, size_t{16 * 1024 + 10}, size_t{40 * 1024}, kBuffer + 1, size_t{1} << 20}) {
    SCOPED_TRACE(testing::Message() << "size " << size);
    std::string content = Pattern(size, static_cast<unsigned>(size));
    files_.AddFile("in", content);
    FHandle handle = FOpen("in", FO_READ);
    ASSERT_NE(handle, F_ERROR);
    files_.reads = 0;
    EXPECT_EQ(ReadString(handle, 50), content.substr(0, 50));
    ASSERT_EQ(FSeek(handle, 0, 0), 0);
    EXPECT_EQ(ReadString(handle, size + 1), content);
    EXPECT_EQ(files_.reads, 2);
    EXPECT_TRUE(FClose(handle));
  }
}

}  // namespace
}  // namespace qef
