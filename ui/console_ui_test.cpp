#include "ui/console_ui.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "runtime/runtime.h"
#include "ui/window.h"

namespace qef {
namespace {

// The controls of a progress dialog that the console shows.
constexpr int kBarId = 101;
constexpr int kTaskId = 102;
constexpr int kDescriptionId = 103;

constexpr char kClearLine[] = "\r\x1b[K";

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// A progress dialog that records the events it is sent.
class ProgressDialog : public DialogWindow {
 public:
  ProgressDialog() {
    Init(nullptr, ResourceID("WinProgress"), false);
    bar.HyperLabel(qef::HyperLabel(Symbol("Progress")));
    task.HyperLabel(qef::HyperLabel(Symbol("Task")));
    description.HyperLabel(qef::HyperLabel(Symbol("Description")));
  }
  intptr_t Dispatch(const Event& event) override {
    events.push_back(event);
    return DialogWindow::Dispatch(event);
  }

  ProgressBar bar{this, ResourceID(kBarId)};
  FixedText task{this, ResourceID(kTaskId)};
  FixedText description{this, ResourceID(kDescriptionId)};
  std::vector<Event> events;
};

class ConsoleUiTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(out_, nullptr); }
  void TearDown() override {
    if (out_ != nullptr) std::fclose(out_);
  }

  // Installs a console UI writing to the temporary file.
  void Start(bool live, TerminalEncoding encoding = TerminalEncoding::kUtf8) {
    ui_ = std::make_unique<ConsoleUi>(out_, live, &interrupted_, encoding);
    runtime_ = std::make_unique<ScopedRuntime>(files_, settings_, *ui_);
  }

  // Everything written so far.
  std::string Output() {
    std::fflush(out_);
    long size = std::ftell(out_);
    std::string text(static_cast<size_t>(size), '\0');
    std::rewind(out_);
    text.resize(std::fread(text.data(), 1, text.size(), out_));
    std::fseek(out_, 0, SEEK_END);
    return text;
  }

  std::FILE* out_ = std::tmpfile();
  volatile std::sig_atomic_t interrupted_ = 0;
  HeadlessFileSystem files_;
  HeadlessSettings settings_;
  std::unique_ptr<ConsoleUi> ui_;
  std::unique_ptr<ScopedRuntime> runtime_;
};

TEST_F(ConsoleUiTest, BoxPrintsItsTextAndANewline) {
  Start(false);
  EXPECT_EQ(InfoBox(nullptr, "Quillon Pack", "Done.").Show(), BOXREPLYOK);
  EXPECT_EQ(Output(), "Done.\n");
}

TEST_F(ConsoleUiTest, NotLivePrintsOneLinePerTask) {
  Start(false);
  ProgressDialog dialog;
  dialog.bar.Range(Range(1, 100));
  dialog.description.TextValue("checking");
  dialog.task.TextValue("a.txt");
  dialog.bar.Position(10);
  dialog.bar.Position(90);
  dialog.description.TextValue("repairing");
  dialog.task.TextValue("b.txt");
  dialog.bar.Position(50);
  EXPECT_EQ(Output(), "a.txt: checking\nb.txt: repairing\n");
}

TEST_F(ConsoleUiTest, LiveRedrawsTheStatusLineOnlyWhenThePositionChanges) {
  Start(true);
  ProgressDialog dialog;
  dialog.bar.Range(Range(1, 200));
  dialog.task.TextValue("a.txt");
  EXPECT_EQ(Count(Output(), kClearLine), 1u);
  dialog.bar.Position(0);
  EXPECT_EQ(Count(Output(), kClearLine), 1u);
  dialog.bar.Position(100);
  dialog.bar.Position(100);
  std::string output = Output();
  EXPECT_EQ(Count(output, kClearLine), 2u);
  EXPECT_EQ(output.substr(output.rfind(kClearLine)).substr(6), "a.txt  50%");
  dialog.bar.Position(150);
  EXPECT_EQ(Count(Output(), kClearLine), 3u);
}

TEST_F(ConsoleUiTest, LiveClearsTheStatusLineBeforeABox) {
  Start(true);
  ProgressDialog dialog;
  dialog.task.TextValue("a.txt");
  std::string before = Output();
  WarningBox(&dialog, "Quillon Pack", "Cannot open a.txt").Show();
  EXPECT_EQ(Output(), before + kClearLine + "Cannot open a.txt\n");
}

// A file name that would clear the screen and retitle the terminal if its bytes went out raw.
constexpr char kEvilName[] = "evil\x1b[2J\x1b]0;owned\x1b\\.AEF";
constexpr char kEvilShown[] = "evil\\x1b[2J\\x1b]0;owned\\x1b\\\\.AEF";

TEST_F(ConsoleUiTest, BoxShowsControlCharactersEscapedAndKeepsItsLineBreaks) {
  struct Case {
    TerminalEncoding encoding;
    std::string text;
    std::string shown;
  };
  const Case cases[] = {
      {TerminalEncoding::kUtf8, std::string(kEvilName) + " is not a valid Export File",
       std::string(kEvilShown) + " is not a valid Export File"},
      {TerminalEncoding::kUtf8, "one\r\ntwo\nthree", "one\r\ntwo\\x0athree"},
      {TerminalEncoding::kUtf8, "caf\xc3\xa9 \xff", "caf\xc3\xa9 \\xff"},
      {TerminalEncoding::kEightBit, "caf\xe9 \x9b", "caf\xe9 \\x9b"},
      {TerminalEncoding::kAnsiConsole, "caf\xe9 \x9b\x07", "caf\xe9 \x9b\\x07"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    std::FILE* out = std::tmpfile();
    ConsoleUi ui(out, false, nullptr, c.encoding);
    ui.ShowMessageBox(nullptr, "Error", c.text, 0);
    std::rewind(out);
    std::string text;
    for (int ch; (ch = std::fgetc(out)) != EOF;) text += static_cast<char>(ch);
    std::fclose(out);
    EXPECT_EQ(text, c.shown + "\n");
  }
}

TEST_F(ConsoleUiTest, StatusLineShowsTheTaskEscaped) {
  for (bool live : {false, true}) {
    SCOPED_TRACE(live);
    Start(live);
    {
      ProgressDialog dialog;
      dialog.description.TextValue("checking\x1b[1m");
      dialog.task.TextValue(kEvilName);
    }
    std::string output = Output();
    EXPECT_NE(output.find(kEvilShown), std::string::npos) << output;
    EXPECT_EQ(output.find(kEvilName), std::string::npos);
    EXPECT_EQ(output.find("\x1b[1m"), std::string::npos);
    runtime_.reset();
  }
}

TEST_F(ConsoleUiTest, InterruptDeliversCancelOnceAndResetsTheFlag) {
  Start(false);
  ProgressDialog dialog;
  ApplicationExec(1);
  EXPECT_TRUE(dialog.events.empty());
  interrupted_ = 1;
  ApplicationExec(1);
  EXPECT_EQ(static_cast<int>(interrupted_), 0);
  ASSERT_EQ(dialog.events.size(), 1u);
  EXPECT_EQ(dialog.events[0].Message(), WM_COMMAND);
  EXPECT_EQ(dialog.events[0].wParam(), IDCANCEL);
  ApplicationExec(1);
  EXPECT_EQ(dialog.events.size(), 1u);
}

TEST(ConsoleErrorBoxTest, PrintsCaptionAndTextAndEndsWithoutAChoice) {
  std::FILE* out = std::tmpfile();
  ConsoleUi ui(out, false, nullptr);
  EXPECT_EQ(ui.ErrorMessageBox("Error Code:  5 [ X ]\r\nCallStack: \r\n", "ERROR", 1, 2, 0),
            ERRORBOX_QUIT);
  std::rewind(out);
  std::string text;
  for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
  std::fclose(out);
  EXPECT_EQ(text, "ERROR\nError Code:  5 [ X ]\nCallStack: \n");
}

TEST(ConsoleErrorBoxTest, ShowsControlCharactersOfTextAndCaptionEscaped) {
  std::FILE* out = std::tmpfile();
  ConsoleUi ui(out, false, nullptr);
  ui.ErrorMessageBox("Description: open \x1b]0;x\x07\r\nline\nbreak\r\n", "ERR\x1b[2J", 1, 2, 0);
  std::rewind(out);
  std::string text;
  for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
  std::fclose(out);
  EXPECT_EQ(text, "ERR\\x1b[2J\nDescription: open \\x1b]0;x\\x07\nline\\x0abreak\n");
}

}  // namespace
}  // namespace qef
