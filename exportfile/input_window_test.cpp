#include "exportfile/input_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "runtime/runtime.h"

namespace qef {
namespace {

// Checks, whenever the window is about to let go of bytes, that those not yet let go of are
// still in it, to be written out from there.
class CheckingListener : public WindowListener {
 public:
  CheckingListener(const InputWindow& window, const std::string& content)
      : window_(window), content_(content) {}
  bool ViewEnding(int64_t next) override { return Check(next); }
  bool BytesLeaving(int64_t next) override { return Check(next); }
  int told = 0;

 private:
  bool Check(int64_t next) {
    ++told;
    if (next > out_) {
      auto size = static_cast<size_t>(next - out_);
      EXPECT_TRUE(window_.Holds(out_, next)) << out_ << " to " << next;
      EXPECT_EQ(std::string(window_.Data(out_), size),
                content_.substr(static_cast<size_t>(out_), size));
    }
    out_ = next;
    return true;
  }
  const InputWindow& window_;
  const std::string& content_;
  int64_t out_ = 0;
};

class InputWindowTest : public ::testing::Test {
 protected:
  InputWindowTest() : runtime_(fs_, settings_, ui_) {}

  FHandle Open(const std::string& content) {
    fs_.AddFile("in.AEF", content);
    return FOpen("in.AEF", FO_READ);
  }

  HeadlessFileSystem fs_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  ScopedRuntime runtime_;
  CopyFailure failure_;
};

std::string Content(size_t size) {
  std::string content;
  for (size_t i = 0; i < size; ++i) content += static_cast<char>('a' + i * 7 % 26);
  return content;
}

TEST_F(InputWindowTest, HandsOutEveryByteOnceAndKeepsItUntilTheListenerIsTold) {
  const std::string content = Content(300);
  for (bool views : {true, false}) {
    for (size_t block : {size_t{7}, size_t{64}}) {
      SCOPED_TRACE(std::string(views ? "viewed" : "read") + ", block " + std::to_string(block));
      fs_.views = views;
      FHandle in = Open(content);
      InputWindow window(in, static_cast<int64_t>(content.size()), block, failure_);
      CheckingListener listener(window, content);
      window.SetListener(&listener);
      std::string taken;
      for (size_t step = 1; window.Ensure(step % 6 + 1) || window.Available() > 0; ++step) {
        size_t size = std::min(window.Available(), step % 11 + 1);
        taken.append(window.At(), size);
        window.Advance(size);
      }
      EXPECT_EQ(taken, content);
      EXPECT_FALSE(failure_.failed());
      EXPECT_EQ(window.viewing(), views);
      EXPECT_GT(listener.told, 2);
      FClose(in);
    }
  }
}

// The blocks of a copy of the rest; one of nothing where the input ends at a block's end.
TEST_F(InputWindowTest, NextBlockReadsTheRestBlockByBlock) {
  struct Case {
    size_t size;
    std::vector<size_t> blocks;
  } cases[] = {{30, {8, 8, 6}}, {32, {8, 8, 8, 0}}, {5, {}}};
  for (const Case& c : cases) {
    const std::string content = Content(c.size);
    FHandle in = Open(content);
    InputWindow window(in, static_cast<int64_t>(c.size), 8, failure_);
    ASSERT_TRUE(window.Ensure(1));
    std::string rest(window.At(), window.Available());
    window.Advance(window.Available());
    std::vector<size_t> blocks;
    while (window.NextBlock()) {
      blocks.push_back(window.Available());
      rest.append(window.At(), window.Available());
      window.Advance(window.Available());
    }
    EXPECT_EQ(blocks, c.blocks) << c.size;
    EXPECT_EQ(rest, content);
    EXPECT_FALSE(failure_.failed());
    FClose(in);
  }
}

// An input smaller than a block is read whole, not viewed; one cut or grown since the file test
// is still found cut, or read to its end.
TEST_F(InputWindowTest, ReadsAnInputSmallerThanABlockWhole) {
  struct Case {
    size_t size_found;
    size_t size;
    bool viewed;
    bool failed;
  } cases[] = {{10, 10, false, false}, {63, 63, false, false}, {64, 64, true, false},
               {40, 30, false, true},  {40, 50, false, false}, {100, 100, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.size_found) + " found, " + std::to_string(c.size));
    const std::string content = Content(c.size);
    FHandle in = Open(content);
    CopyFailure failure;
    InputWindow window(in, static_cast<int64_t>(c.size_found), 64, failure);
    std::string taken;
    while (window.Ensure(16) || window.Available() > 0) {
      taken.append(window.At(), window.Available());
      window.Advance(window.Available());
    }
    EXPECT_EQ(window.viewing(), c.viewed);
    EXPECT_EQ(failure.failed(), c.failed);
    if (!c.failed) {
      EXPECT_EQ(taken, content);
    }
    FClose(in);
  }
}

}  // namespace
}  // namespace qef
