#include "progress/win_progress.h"

#include <gtest/gtest.h>

#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "runtime/runtime.h"

namespace qef {
namespace {

class WinProgressTest : public ::testing::Test {
 protected:
  WinProgressTest() : runtime_(fs_, settings_, ui_), win_(), peer_(*ui_.NewestDialog()) {}

  HeadlessFileSystem fs_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  ScopedRuntime runtime_;
  WinProgress win_;
  HeadlessWindowPeer& peer_;
};

TEST_F(WinProgressTest, IsBuiltInvisibleFromItsTemplateWithTheAnimationPlaying) {
  EXPECT_EQ(peer_.template_name(), "WinProgress");
  EXPECT_FALSE(peer_.modal());
  EXPECT_FALSE(peer_.visible());
  EXPECT_FALSE(win_.IsVisible());
  EXPECT_EQ(peer_.caption(), "Quillon Pack");
  EXPECT_EQ(win_.HyperLabel().NameSym(), Symbol("WinProgress"));
  EXPECT_EQ(win_.HyperLabel().Caption(), "Quillon Pack");
  EXPECT_EQ(peer_.animation(kAnimationId), "QSPIN");
  EXPECT_TRUE(peer_.playing(kAnimationId));
  EXPECT_EQ(peer_.large_icon(), "AICOZEMB");
  EXPECT_EQ(peer_.small_icon(), "AICOZEMB");
  EXPECT_FALSE(win_.lAbort);
  EXPECT_EQ(peer_.text(kTaskId), "");
  EXPECT_EQ(peer_.text(kDescriptionId), "");
}

TEST_F(WinProgressTest, ConstructionStepsRunInOrder) {
  EXPECT_EQ(ui_.log,
            (std::vector<std::string>{"CreateDialog WinProgress", "Font 102=MS Sans Serif 10 bold",
                                      "OpenAnimation 104=QSPIN", "Caption=Quillon Pack",
                                      "Icon=AICOZEMB", "IconSm=AICOZEMB", "Play 104"}));
}

TEST_F(WinProgressTest, OnlyTheTaskLineIsBold) {
  EXPECT_EQ(peer_.font(kTaskId), "MS Sans Serif 10 bold");
  for (int id : {kCancelButtonId, kProgressBarId, kDescriptionId, kAnimationId}) {
    EXPECT_EQ(peer_.font(id), "") << id;
  }
}

TEST_F(WinProgressTest, ControlsCarryTheirNames) {
  struct Case {
    int id;
    const char* name;
  } cases[] = {{kCancelButtonId, "PBCancel"},
               {kProgressBarId, "Progress"},
               {kTaskId, "Task"},
               {kDescriptionId, "Description"},
               {kAnimationId, "Animation1"}};
  for (const Case& c : cases) {
    Control* control = win_.ControlById(c.id);
    ASSERT_NE(control, nullptr) << c.id;
    EXPECT_EQ(control->NameSym(), Symbol(c.name));
  }
  EXPECT_EQ(win_.ControlById(kCancelButtonId)->HyperLabel().Caption(), "&Cancel");
  EXPECT_TRUE(win_.ControlById(kCancelButtonId)->IsPushButton());
}

TEST_F(WinProgressTest, TaskAndDescriptionReplaceTheShownText) {
  win_.Task("First.AEF");
  win_.Description("Working");
  win_.Task("Second.AEF");
  EXPECT_EQ(peer_.text(kTaskId), "Second.AEF");
  EXPECT_EQ(peer_.text(kDescriptionId), "Working");
  win_.Description("");
  EXPECT_EQ(peer_.text(kDescriptionId), "");
}

TEST_F(WinProgressTest, CancelComesFromTheButtonEscapeOrCloseBoxOnly) {
  struct Case {
    const char* name;
    Event event;
    bool cancels;
  } cases[] = {
      {"Cancel button", CommandEvent(kCancelButtonId), true},
      {"cancel command (Escape, close box)", CommandEvent(IDCANCEL), true},
      {"id 2 with a notification code", CommandEvent(IDCANCEL, 1), false},
      {"button with a notification code", CommandEvent(kCancelButtonId, 5), false},
      {"another id", CommandEvent(1), false},
      {"the task line", CommandEvent(kTaskId), false},
      {"another message", Event{0x0010, IDCANCEL, 0}, false},
  };
  for (const Case& c : cases) {
    WinProgress win;
    win.Dispatch(c.event);
    EXPECT_EQ(win.lAbort, c.cancels) << c.name;
  }
}

TEST_F(WinProgressTest, CancelStaysSetAndKeepsTheWindowOpen) {
  win_.Show();
  win_.Dispatch(CommandEvent(IDCANCEL));
  win_.Dispatch(CommandEvent(kCancelButtonId));
  win_.PBCancel();
  EXPECT_TRUE(win_.lAbort);
  EXPECT_TRUE(peer_.visible());
}

TEST_F(WinProgressTest, CancelArrivesDuringApplicationExec) {
  ui_.ScheduleEvent(2, CommandEvent(kCancelButtonId));
  ApplicationExec(1);
  EXPECT_FALSE(win_.lAbort);
  ApplicationExec(1);
  EXPECT_TRUE(win_.lAbort);
}

}  // namespace
}  // namespace qef
