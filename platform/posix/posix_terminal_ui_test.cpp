#include "platform/posix/posix_terminal_ui.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/posix/posix_test_folder.h"
#include "runtime/runtime.h"
#include "ui/window.h"

namespace qef {
namespace {

// The terminal UI reading its answers as lines, as when standard input is not a terminal.
class ScriptedTerminal {
 public:
  explicit ScriptedTerminal(const std::string& input) : out_(std::tmpfile()) {
    int fds[2];
    if (::pipe(fds) == 0) {
      (void)!::write(fds[1], input.data(), input.size());
      ::close(fds[1]);
      input_ = fds[0];
    }
    ui_ = std::make_unique<PosixTerminalUi>(input_, out_, false, &interrupted_);
  }
  ~ScriptedTerminal() {
    ui_.reset();
    ::close(input_);
    std::fclose(out_);
  }
  PosixTerminalUi& ui() { return *ui_; }
  std::string Output() {
    std::fflush(out_);
    std::rewind(out_);
    std::string text;
    for (int c; (c = std::fgetc(out_)) != EOF;) text += static_cast<char>(c);
    return text;
  }
  volatile std::sig_atomic_t interrupted_ = 0;

 private:
  int input_ = -1;
  std::FILE* out_;
  std::unique_ptr<PosixTerminalUi> ui_;
};

TEST(PosixTerminalUiTest, BoxesTakeTheirAnswersAsLines) {
  struct Case {
    const char* input;
    uint32_t type;
    int reply;
  } cases[] = {
      {"\n", MB_OKCANCEL | MB_ICONINFORMATION, BOXREPLYOK},
      {"ok\n", MB_OKCANCEL, BOXREPLYOK},
      {"Y\n", MB_OKCANCEL, BOXREPLYOK},
      {"cancel\n", MB_OKCANCEL, BOXREPLYCANCEL},
      {"n\n", MB_OKCANCEL, BOXREPLYCANCEL},
      {"", MB_OKCANCEL, BOXREPLYCANCEL},  // the end of the input cancels
      {"", MB_OK | MB_ICONINFORMATION, BOXREPLYOK},
      {"whatever\n", MB_OK, BOXREPLYOK},
  };
  for (const Case& c : cases) {
    ScriptedTerminal terminal(c.input);
    EXPECT_EQ(terminal.ui().ShowMessageBox(nullptr, "Title", "Line one\r\n\r\nLine two", c.type),
              c.reply)
        << '"' << c.input << '"';
    std::string output = terminal.Output();
    EXPECT_NE(output.find("[Title]\nLine one\n\nLine two\n"), std::string::npos) << output;
  }
}

TEST(PosixTerminalUiTest, EachBoxTakesOneLine) {
  ScriptedTerminal terminal("ok\ncancel\n");
  EXPECT_EQ(terminal.ui().ShowMessageBox(nullptr, "A", "a", MB_OKCANCEL), BOXREPLYOK);
  EXPECT_EQ(terminal.ui().ShowMessageBox(nullptr, "B", "b", MB_OKCANCEL), BOXREPLYCANCEL);
}

TEST(PosixTerminalUiTest, OpenDialogTakesPathsAndPatternsUpToAnEmptyLine) {
  PosixTestFolder folder;
  ASSERT_FALSE(folder.path().empty());
  for (const char* name : {"b.AEF", "a.aef", "c.MEF", "d.txt"}) folder.Put(name, "x");
  OpenDialogRequest request;
  request.caption = "Pick";
  request.options = OFN_ALLOWMULTISELECT;
  request.patterns = {"*.AEF;*.MEF"};
  request.descriptions = {"Export Files"};

  ScriptedTerminal terminal(folder.Path("d.txt") + "\n" + folder.Path("*.AEF") + "\n\nignored\n");
  auto chosen = terminal.ui().ShowOpenDialog(request);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, (std::vector<std::string>{folder.Path("d.txt"), folder.Path("a.aef"),
                                               folder.Path("b.AEF")}));
  EXPECT_NE(terminal.Output().find("[Pick]"), std::string::npos);

  request.options = 0;
  ScriptedTerminal single(folder.Path("*.?EF") + "\n");
  EXPECT_EQ(single.ui().ShowOpenDialog(request)->size(), 1u);

  ScriptedTerminal none("\n" + folder.Path("b.AEF") + "\n");
  EXPECT_FALSE(none.ui().ShowOpenDialog(request).has_value()) << "an empty line alone cancels";
  ScriptedTerminal ended("");
  EXPECT_FALSE(ended.ui().ShowOpenDialog(request).has_value());
}

class CancelCounter : public DialogWindow {
 public:
  intptr_t Dispatch(const Event& event) override {
    if (event.Message() == WM_COMMAND && event.wParam() == IDCANCEL) ++cancels;
    return DialogWindow::Dispatch(event);
  }
  int cancels = 0;
};

TEST(PosixTerminalUiTest, InterruptReachesDialogsAsTheCancelCommandAndTasksArePrinted) {
  ScriptedTerminal terminal("");
  HeadlessFileSystem fs;
  HeadlessSettings settings;
  ScopedRuntime runtime(fs, settings, terminal.ui());
  CancelCounter window;
  window.Init(nullptr, ResourceID("WinProgress"), false);
  window.peer()->SetControlText(103, "Replacing");
  window.peer()->SetControlText(102, "App.AEF");
  ApplicationExec(1);
  EXPECT_EQ(window.cancels, 0);
  terminal.interrupted_ = 1;
  ApplicationExec(1);
  EXPECT_EQ(window.cancels, 1);
  EXPECT_EQ(terminal.interrupted_, 0);
  EXPECT_EQ(terminal.Output(), "App.AEF: Replacing\n");
}

}  // namespace
}  // namespace qef
