#include "exportfile/span_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "runtime/runtime.h"

namespace qef {
namespace {

constexpr size_t kInputSize = 200000;
constexpr size_t kNameSize = 12;

// The input, or the input with a name in upper case every `name_every` bytes from there on.
std::string Content(size_t name_every = kInputSize) {
  std::string content;
  for (size_t i = 0; i < kInputSize; ++i) content += static_cast<char>('a' + i * 7 % 26);
  for (size_t at = name_every; at + kNameSize <= kInputSize; at += name_every) {
    for (size_t i = at; i < at + kNameSize; ++i) {
      content[i] = static_cast<char>(content[i] - 'a' + 'A');
    }
  }
  return content;
}

class SpanWriterTest : public ::testing::Test {
 protected:
  SpanWriterTest() : runtime_(fs_, settings_, ui_) { fs_.AddFile("in.AEF", Content()); }

  // Takes the input as the record loop does, putting in the names, and writes the copy; the
  // input is cut to `cut_to` bytes, when given, before the last span goes out.
  bool Copy(size_t block, size_t name_every, size_t cut_to = 0) {
    FHandle in = FOpen("in.AEF", FO_READ);
    FHandle out = FCreate("out.fix");
    InputWindow window(in, kInputSize, block, failure_);
    SpanWriter writer(out, in, block, window, failure_);
    window.SetListener(&writer);
    const std::string names = Content(name_every);
    bool done = true;
    while (done && (window.Ensure(kNameSize) || window.Available() > 0)) {
      auto at = static_cast<size_t>(window.next());
      size_t size = std::min(window.Available(), name_every - at % name_every);
      if (at > 0 && at % name_every == 0 && window.Available() >= kNameSize) {
        size = kNameSize;
        done = writer.Substitute(window.next(), names.data() + at, size);
      }
      window.Advance(size);
    }
    if (cut_to > 0) fs_.Truncate("in.AEF", cut_to);
    done = done && writer.FlushSpan(window.next()) && window.DropView();
    FClose(in);
    FClose(out);
    return done;
  }

  HeadlessFileSystem fs_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  ScopedRuntime runtime_;
  CopyFailure failure_;
};

TEST_F(SpanWriterTest, OutputIsTheInputWithTheSubstitutedNames) {
  struct Case {
    bool views;
    size_t block;
    size_t name_every;
  } cases[] = {{true, 64 * 1024, 40000},
               {true, 64 * 1024, 300},
               {true, 1024, 20000},
               {false, 64 * 1024, 300},
               {false, 1024, 20000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.block) + " " + std::to_string(c.name_every));
    fs_.views = c.views;
    fs_.span_copies = 0;
    ASSERT_TRUE(Copy(c.block, c.name_every));
    EXPECT_EQ(fs_.Content("out.fix"), Content(c.name_every));
    // Unchanged bytes go from file to file where they can be viewed, from the buffer where read.
    EXPECT_EQ(fs_.span_copies > 0, c.views);
  }
}

TEST_F(SpanWriterTest, FailureTellsWhichSideFailed) {
  struct Case {
    long fail_write_number;
    size_t cut_input_to;  // after the input was looked at
    CopyResult kind;
  } cases[] = {{1, 0, CopyResult::kWriteError}, {0, kInputSize / 2, CopyResult::kReadError}};
  for (const Case& c : cases) {
    fs_.fail_write_number = c.fail_write_number;
    failure_ = CopyFailure();
    EXPECT_FALSE(Copy(64 * 1024, kInputSize, c.cut_input_to));
    EXPECT_EQ(failure_.kind(), c.kind);
  }
}

}  // namespace
}  // namespace qef
