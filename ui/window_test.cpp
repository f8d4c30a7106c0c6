#include "ui/window.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "runtime/runtime.h"

namespace qef {
namespace {

constexpr int kButtonId = 101;
constexpr int kTextId = 102;
constexpr int kBarId = 103;

// A dialog that records the methods its buttons call.
class RecordingDialog : public DialogWindow {
 public:
  bool CallMethod(const Symbol& method) override {
    called.push_back(method.name());
    return true;
  }
  std::vector<std::string> called;
};

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    dialog_.Init(nullptr, ResourceID("TestDialog"), false);
    button_.HyperLabel(qef::HyperLabel(Symbol("PBCancel"), "&Cancel"));
    text_.HyperLabel(qef::HyperLabel(Symbol("Task")));
  }

  HeadlessWindowPeer& Peer() { return *ui_.NewestDialog(); }

  HeadlessFileSystem files_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  ScopedRuntime runtime_{files_, settings_, ui_};
  RecordingDialog dialog_;
  PushButton button_{&dialog_, ResourceID(kButtonId)};
  FixedText text_{&dialog_, ResourceID(kTextId)};
  ProgressBar bar_{&dialog_, ResourceID(kBarId)};
};

TEST_F(WindowTest, ClickOnAPushButtonCallsTheMethodNamedByItsLabel) {
  EXPECT_EQ(dialog_.Dispatch(CommandEvent(kButtonId)), 1);
  EXPECT_EQ(dialog_.called, std::vector<std::string>{Symbol("pbcancel").name()});
}

TEST_F(WindowTest, CommandsThatAreNotButtonClicksCallNoMethod) {
  PushButton unnamed(&dialog_, ResourceID(104));
  struct Case {
    const char* name;
    Event event;
  };
  const Case cases[] = {
      {"notification from the button", CommandEvent(kButtonId, 1)},
      {"click on a fixed text", CommandEvent(kTextId)},
      {"click on a button without a name", CommandEvent(104)},
      {"unknown control", CommandEvent(999)},
      {"other message", Event{0x0100, kButtonId, 0}},
  };
  for (const Case& c : cases) {
    dialog_.Dispatch(c.event);
    EXPECT_TRUE(dialog_.called.empty()) << c.name;
  }
}

TEST_F(WindowTest, TextValueReachesThePeer) {
  text_.TextValue("Reading records");
  EXPECT_EQ(text_.TextValue(), "Reading records");
  EXPECT_EQ(Peer().text(kTextId), "Reading records");
}

TEST_F(WindowTest, ProgressBarRangeAndPositionReachThePeerInOrder) {
  ui_.log.clear();
  bar_.Range(Range(1, 100));
  bar_.Position(5);
  bar_.Position(60);
  EXPECT_EQ(ui_.log,
            (std::vector<std::string>{"Range 103=1..100", "Position 103=5", "Position 103=60"}));
  EXPECT_EQ(bar_.Position(), 60);
}

TEST_F(WindowTest, BoxesReachTheUiWithTheirTypeAndOwner) {
  struct Case {
    const char* name;
    std::function<int()> show;
    uint32_t type;
  };
  const Case cases[] = {
      {"TextBox", [&] { return TextBox(&dialog_, "Caption", "Text").Show(); }, MB_OK},
      {"WarningBox", [&] { return WarningBox(&dialog_, "Caption", "Text").Show(); }, 0x30},
      {"InfoBox", [&] { return InfoBox(&dialog_, "Caption", "Text").Show(); }, 0x40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui_.boxes.clear();
    EXPECT_EQ(c.show(), BOXREPLYOK);
    ASSERT_EQ(ui_.boxes.size(), 1u);
    EXPECT_EQ(ui_.boxes[0].owner, &dialog_);
    EXPECT_EQ(ui_.boxes[0].caption, "Caption");
    EXPECT_EQ(ui_.boxes[0].text, "Text");
    EXPECT_EQ(ui_.boxes[0].type, c.type);
  }
}

TEST_F(WindowTest, BoxReturnsTheScriptedRepliesThenOk) {
  ui_.QueueReply(BOXREPLYCANCEL);
  ui_.QueueReply(7);
  EXPECT_EQ(TextBox(nullptr, "c", "1", MB_OKCANCEL).Show(), BOXREPLYCANCEL);
  EXPECT_EQ(TextBox(nullptr, "c", "2", MB_OKCANCEL).Show(), 7);
  EXPECT_EQ(TextBox(nullptr, "c", "3", MB_OKCANCEL).Show(), BOXREPLYOK);
  EXPECT_EQ(ui_.boxes[0].owner, nullptr);
}

TEST_F(WindowTest, ApplicationExecDeliversScheduledEventsOnTheirCall) {
  ui_.ScheduleEvent(2, CommandEvent(kButtonId));
  ui_.ScheduleEvent(3, CommandEvent(kButtonId));
  ui_.ScheduleEvent(3, CommandEvent(kButtonId));
  ApplicationExec(1);
  EXPECT_EQ(dialog_.called.size(), 0u);
  ApplicationExec(1);
  EXPECT_EQ(dialog_.called.size(), 1u);
  ApplicationExec(1);
  EXPECT_EQ(dialog_.called.size(), 3u);
  ApplicationExec(1);
  EXPECT_EQ(dialog_.called.size(), 3u);
}

TEST(SymbolTest, ComparesWithoutRegardToAsciiCase) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  const Case cases[] = {
      {"PBCancel", "PBCANCEL", true},
      {"pbcancel", "PbCaNcEl", true},
      {"", "", true},
      {"PBCancel", "PBCancel2", false},
      {"Task", "Tusk", false},
      {"\xe4", "\xc4", false},
      {"a_1", "A_1", true},
      {"[", "{", false},
      {"@", "`", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Symbol(c.a) == Symbol(c.b), c.same) << c.a << " vs " << c.b;
  }
}

}  // namespace
}  // namespace qef
