#include "platform/posix/posix_terminal_ui.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/posix/posix_directory_search.h"
#include "platform/posix/posix_test_folder.h"
#include "runtime/runtime.h"
#include "ui/window.h"

namespace qef {
namespace {

// The terminal UI reading its answers as lines, as when standard input is not a terminal.
class ScriptedTerminal {
 public:
  explicit ScriptedTerminal(const std::string& input, bool interactive = false,
                            TerminalEncoding encoding = TerminalEncoding::kUtf8)
      : out_(std::tmpfile()) {
    int fds[2];
    if (::pipe(fds) == 0) {
      (void)!::write(fds[1], input.data(), input.size());
      ::close(fds[1]);
      input_ = fds[0];
    }
    ui_ = std::make_unique<PosixTerminalUi>(input_, out_, interactive, &interrupted_, encoding);
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
  // The output without the terminal UI's own control sequences.
  std::string OutputWithoutOwnSequences() {
    std::string text = Output();
    for (const char* own : {"\x1b[?1049h", "\x1b[?1049l", "\x1b[?25l", "\x1b[?25h", "\x1b[H",
                            "\x1b[K", "\x1b[J", "\x1b[2J", "\x1b[1m", "\x1b[22m", "\r\n"}) {
      for (size_t at; (at = text.find(own)) != std::string::npos;)
        text.erase(at, std::string(own).size());
    }
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
  // Patterns are expanded through the run-time's directory search, as efx expands them.
  HeadlessFileSystem fs;
  HeadlessSettings settings;
  PosixDirectorySearch search;
  Backends backends(fs, settings, terminal.ui());
  backends.directory_search = &search;
  ScopedRuntime runtime(backends);
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

bool HasControlCharacter(const std::string& text, bool allow_line_feed) {
  return std::any_of(text.begin(), text.end(), [&](char c) {
    auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && !(allow_line_feed && byte == '\n')) || byte == 0x7F;
  });
}

TEST(PosixTerminalUiTest, ScriptedOutputShowsControlCharactersEscaped) {
  ScriptedTerminal terminal("ok\n");
  HeadlessFileSystem fs;
  HeadlessSettings settings;
  ScopedRuntime runtime(fs, settings, terminal.ui());
  DialogWindow window;
  window.Init(nullptr, ResourceID("WinProgress"), false);
  window.peer()->SetControlText(103, "Replacing");
  window.peer()->SetControlText(102, "evil\x1b[2J\x1b]0;owned\x1b\\.AEF");
  EXPECT_EQ(terminal.ui().ShowMessageBox(nullptr, "Err\x07", "Cannot read a\x9b\r\nb\nc", MB_OK),
            BOXREPLYOK);
  std::string output = terminal.Output();
  EXPECT_FALSE(HasControlCharacter(output, true)) << output;
  EXPECT_NE(output.find("evil\\x1b[2J\\x1b]0;owned\\x1b\\\\.AEF: Replacing\n"), std::string::npos)
      << output;
  EXPECT_NE(output.find("[Err\\x07]\nCannot read a\\x9b\nb\\x0ac\n"), std::string::npos) << output;
}

TEST(PosixTerminalUiTest, TheFullScreenBoxShowsNoControlCharacterOfItsTexts) {
  // Enter presses the focused OK button.
  ScriptedTerminal terminal("\r", true);
  EXPECT_EQ(terminal.ui().ShowMessageBox(nullptr, "Error\x1b]0;owned\x07",
                                         "Cannot open evil\x1b[2J\xc2\x9b.AEF", MB_OKCANCEL),
            BOXREPLYOK);
  std::string output = terminal.OutputWithoutOwnSequences();
  EXPECT_FALSE(HasControlCharacter(output, false)) << output;
  EXPECT_EQ(output.find("\xc2\x9b"), std::string::npos) << "a C1 control in UTF-8";
  EXPECT_NE(output.find("Cannot open evil\\x1b[2J\\xc2\\x9b.AEF"), std::string::npos) << output;
  EXPECT_NE(output.find("Error\\x1b]0;owned\\x07"), std::string::npos) << output;
  EXPECT_NE(output.find("[> OK <]   [  Cancel  ]"), std::string::npos) << output;
}

// Each frame goes to the terminal in one write, even through a line-buffered stream as a
// terminal's is: a frame written line by line shows torn while the program is stopped or slow.
// Each write on a packet socket is read back as one packet.
TEST(PosixTerminalUiTest, EachFrameIsOneWrite) {
  int sockets[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, sockets), 0);
  std::FILE* out = ::fdopen(sockets[0], "w");
  ASSERT_NE(out, nullptr);
  std::setvbuf(out, nullptr, _IOLBF, BUFSIZ);
  int keys[2];
  ASSERT_EQ(::pipe(keys), 0);
  ASSERT_EQ(::write(keys[1], "\r", 1), 1);
  ::close(keys[1]);
  volatile std::sig_atomic_t interrupted = 0;
  {
    PosixTerminalUi ui(keys[0], out, true, &interrupted, TerminalEncoding::kUtf8);
    EXPECT_EQ(ui.ShowMessageBox(nullptr, "Error", "Cannot open a.AEF", MB_OK), BOXREPLYOK);
  }
  std::fclose(out);
  ::close(keys[0]);
  int frames = 0;
  char packet[65536];
  for (ssize_t got; (got = ::recv(sockets[1], packet, sizeof packet, 0)) > 0;) {
    std::string text(packet, static_cast<size_t>(got));
    if (text.find("\x1b[H") == std::string::npos) continue;
    EXPECT_EQ(text.substr(text.size() - 3), "\x1b[J") << "a frame cut: " << text;
    if (text.find("+-") == std::string::npos) continue;  // the screen cleared at the end
    ++frames;
    EXPECT_NE(text.find("[> OK <]"), std::string::npos) << "a frame cut: " << text;
  }
  ::close(sockets[1]);
  EXPECT_GT(frames, 0);
}

TEST(PosixTerminalUiTest, ListingAFolderNeverOpensAFifo) {
  PosixTestFolder folder;
  ASSERT_FALSE(folder.path().empty());
  folder.Put("a.AEF", "x");
  ASSERT_EQ(::mkfifo(folder.Path("pipe.AEF").c_str(), 0600), 0);
  ASSERT_EQ(::mkdir(folder.Path("sub").c_str(), 0700), 0);
  // Opening the FIFO for reading would wait for a writer that never comes.
  auto entries = ListFolder(folder.path());
  ASSERT_TRUE(entries.has_value());
  std::vector<std::string> names;
  for (const auto& entry : *entries) names.push_back(entry.name + (entry.is_directory ? "/" : ""));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.AEF", "pipe.AEF", "sub/"}));
  EXPECT_FALSE(ListFolder(folder.Path("pipe.AEF")).has_value()) << "no folder";
  EXPECT_FALSE(ListFolder(folder.Path("a.AEF")).has_value());
}

}  // namespace
}  // namespace qef
