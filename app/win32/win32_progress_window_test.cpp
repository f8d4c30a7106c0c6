// The progress window as Windows shows it: built from its template, driven by real messages.
#include <gtest/gtest.h>

#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/win32/win32_ui.h"
#include "progress/win_progress.h"
#include "runtime/runtime.h"

// Windows headers come last: their macros would rename the portable names above.
#include <windows.h>
// (commctrl.h needs windows.h before it)
#include <commctrl.h>
#undef CreateDialog

namespace qef {
namespace {

// Finds the thread's dialog box (class "#32770").
BOOL CALLBACK FindDialog(HWND hwnd, LPARAM out) {
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof name);
  if (std::string(name) != "#32770") return TRUE;
  *reinterpret_cast<HWND*>(out) = hwnd;
  return FALSE;
}

class Win32ProgressWindowTest : public ::testing::Test {
 protected:
  Win32ProgressWindowTest() : runtime_(fs_, settings_, ui_) {}

  HWND Dialog() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&found));
    return found;
  }

  std::string ClassOf(HWND hwnd) {
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
  }

  HeadlessFileSystem fs_;
  HeadlessSettings settings_;
  Win32Ui ui_;
  ScopedRuntime runtime_;
};

TEST_F(Win32ProgressWindowTest, IsAnInvisibleDialogWithItsControlsUntilShown) {
  WinProgress window;
  HWND dialog = Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(IsWindowVisible(dialog));
  char title[64];
  GetWindowTextA(dialog, title, sizeof title);
  EXPECT_STREQ(title, "Quillon Pack");
  const std::pair<int, std::string> controls[] = {{100, "Button"},
                                                  {101, "msctls_progress32"},
                                                  {102, "Static"},
                                                  {103, "Static"},
                                                  {104, "SysAnimate32"}};
  for (const auto& [id, name] : controls) {
    HWND control = GetDlgItem(dialog, id);
    ASSERT_NE(control, nullptr) << id;
    EXPECT_EQ(ClassOf(control), name) << id;
  }
  window.Caption("Quillon Export File Fix v1.1");
  window.Show();
  EXPECT_TRUE(IsWindowVisible(dialog));
  GetWindowTextA(dialog, title, sizeof title);
  EXPECT_STREQ(title, "Quillon Export File Fix v1.1");
}

TEST_F(Win32ProgressWindowTest, AnimationControlOpensTheClip) {
  WinProgress window;
  HWND animation = GetDlgItem(Dialog(), 104);
  // Opening again succeeds only when the clip is there and the control can decode it.
  EXPECT_NE(SendMessageA(animation, ACM_OPENA, reinterpret_cast<WPARAM>(GetModuleHandleA(nullptr)),
                         reinterpret_cast<LPARAM>("QSPIN")),
            0);
  EXPECT_NE(SendMessageA(animation, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 0xFFFF)), 0);
}

TEST_F(Win32ProgressWindowTest, TaskLineIsBoldTenPointMsSansSerif) {
  WinProgress window;
  HWND dialog = Dialog();
  LOGFONTA task = {};
  LOGFONTA description = {};
  GetObjectA(reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, 102, WM_GETFONT, 0, 0)),
             sizeof task, &task);
  GetObjectA(reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, 103, WM_GETFONT, 0, 0)),
             sizeof description, &description);
  EXPECT_STREQ(task.lfFaceName, "MS Sans Serif");
  EXPECT_GE(task.lfWeight, FW_BOLD);
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(task.lfHeight, -MulDiv(10, GetDeviceCaps(screen, LOGPIXELSY), 72));
  ReleaseDC(nullptr, screen);
  EXPECT_LT(description.lfWeight, FW_BOLD) << "the template's font";
}

TEST_F(Win32ProgressWindowTest, TextsAndTheBarReachTheControls) {
  WinProgress window;
  HWND dialog = Dialog();
  window.Task("App.AEF");
  window.Description("Replacing invalid characters in App/Module names...");
  window.Progress().Range(Range(1, 100));
  window.Progress().Position(42);
  char text[128];
  GetDlgItemTextA(dialog, 102, text, sizeof text);
  EXPECT_STREQ(text, "App.AEF");
  GetDlgItemTextA(dialog, 103, text, sizeof text);
  EXPECT_STREQ(text, "Replacing invalid characters in App/Module names...");
  EXPECT_EQ(SendDlgItemMessageA(dialog, 101, PBM_GETPOS, 0, 0), 42);
  EXPECT_EQ(SendDlgItemMessageA(dialog, 101, PBM_GETRANGE, TRUE, 0), 1);
  EXPECT_EQ(SendDlgItemMessageA(dialog, 101, PBM_GETRANGE, FALSE, 0), 100);
}

TEST_F(Win32ProgressWindowTest, CancelButtonEscapeAndCloseBoxSetTheAbortFlag) {
  struct Case {
    const char* name;
    void (*act)(HWND dialog);
  } cases[] = {
      {"Cancel button", [](HWND dialog) { SendDlgItemMessageA(dialog, 100, BM_CLICK, 0, 0); }},
      {"Escape",
       [](HWND dialog) { PostMessageA(GetDlgItem(dialog, 100), WM_KEYDOWN, VK_ESCAPE, 0); }},
      {"close box", [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const Case& c : cases) {
    WinProgress window;
    window.Show();
    HWND dialog = Dialog();
    c.act(dialog);
    for (int i = 0; i < 5; ++i) ApplicationExec(1);
    EXPECT_TRUE(window.lAbort) << c.name;
    EXPECT_TRUE(IsWindow(dialog) && IsWindowVisible(dialog)) << c.name << ": the window stays";
  }
}

TEST_F(Win32ProgressWindowTest, OtherCommandsDoNotCancel) {
  WinProgress window;
  HWND dialog = Dialog();
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 1), 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(1, 0), 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(102, 0), 0);
  EXPECT_FALSE(window.lAbort);
}

}  // namespace
}  // namespace qef
