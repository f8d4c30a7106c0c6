#include "platform/posix/posix_terminal_ui.h"

#include <dirent.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <utility>
#include <vector>

#include "fsutil/wildcard_expansion.h"
#include "platform/posix/posix_write_all.h"
#include "ui/progress_window_ids.h"
#include "ui/window.h"

namespace qef {

namespace {

constexpr auto kFrameTime = std::chrono::milliseconds(100);
constexpr size_t kScriptWidth = 78;

// Set by SIGWINCH; whoever draws next notices it and lays the screen out anew.
volatile std::sig_atomic_t resized = 0;
extern "C" void OnResize(int) { resized = 1; }

// Hands a whole frame to the terminal in one write: a terminal's stream is line buffered, and a
// frame written line by line shows torn while the program is stopped or slow.
void WriteFrame(std::FILE* out, const std::string& frame) {
  std::fflush(out);
  const int fd = ::fileno(out);
  if (fd < 0) {
    std::fwrite(frame.data(), 1, frame.size(), out);
    std::fflush(out);
    return;
  }
  // A terminal that takes nothing more has no one to show the rest to.
  WriteAll(fd, frame.data(), frame.size());
}

}  // namespace

// Puts the terminal in raw mode on the alternate screen for the program's life.
class RawTerminal {
 public:
  RawTerminal(int input, std::FILE* out) : input_(input), out_(out) {
    saved_ok_ = ::tcgetattr(input_, &saved_) == 0;
    if (saved_ok_) {
      termios raw = saved_;
      raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ISIG | IEXTEN));
      raw.c_iflag &= static_cast<tcflag_t>(~(IXON | ICRNL));
      raw.c_cc[VMIN] = 1;
      raw.c_cc[VTIME] = 0;
      ::tcsetattr(input_, TCSANOW, &raw);
    }
    // SA_RESTART keeps writes going; the wait for a key (poll) still wakes up on a resize.
    struct sigaction action = {};
    action.sa_handler = OnResize;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    resize_handler_ok_ = ::sigaction(SIGWINCH, &action, &saved_resize_handler_) == 0;
    std::fputs("\x1b[?1049h\x1b[?25l", out_);
    std::fflush(out_);
  }
  ~RawTerminal() {
    std::fputs("\x1b[?25h\x1b[?1049l", out_);
    std::fflush(out_);
    if (resize_handler_ok_) ::sigaction(SIGWINCH, &saved_resize_handler_, nullptr);
    if (saved_ok_) ::tcsetattr(input_, TCSANOW, &saved_);
  }
  RawTerminal(const RawTerminal&) = delete;
  RawTerminal& operator=(const RawTerminal&) = delete;

 private:
  int input_;
  std::FILE* out_;
  termios saved_{};
  bool saved_ok_ = false;
  struct sigaction saved_resize_handler_ = {};
  bool resize_handler_ok_ = false;
};

class TerminalWindowPeer : public WindowPeer {
 public:
  TerminalWindowPeer(PosixTerminalUi& ui, Window& window) : ui_(ui), window_(window) {
    ui_.dialogs_.push_back(this);
  }
  ~TerminalWindowPeer() override {
    auto& dialogs = ui_.dialogs_;
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), this), dialogs.end());
  }

  void SetCaption(const std::string& text) override { Change(caption_, text); }
  void Show() override {
    visible_ = true;
    ui_.dirty_ = true;
  }
  void SetIcon(const ResourceID&, bool) override {}
  void SetControlFont(int, const Font&) override {}
  bool OpenAnimation(int, const ResourceID&) override { return true; }
  void PlayAnimation(int) override { playing_ = true; }
  void SetProgressRange(int, int, int high) override { high_ = std::max(high, 1); }

  void SetControlText(int id, const std::string& text) override {
    if (id == kTaskId) {
      Change(task_, text);
      if (!ui_.interactive_ && !text.empty()) {
        std::fprintf(ui_.out_, "%s: %s\n", ui_.Shown(text).c_str(),
                     ui_.Shown(description_).c_str());
        std::fflush(ui_.out_);
      }
    } else if (id == kDescriptionId) {
      Change(description_, text);
    }
  }

  void SetProgressPosition(int, int position) override {
    if (position == position_) return;
    position_ = position;
    ui_.dirty_ = true;
  }

  Window& window() { return window_; }

  std::vector<std::string> Lines(unsigned frame, size_t width) const {
    static constexpr char kSpinner[] = "|/-\\";
    ProgressWindowContent content;
    content.caption = caption_;
    content.description = description_;
    content.task = task_;
    content.percent = std::clamp(position_ * 100 / high_, 0, 100);
    content.spinner = playing_ ? kSpinner[frame % 4] : ' ';
    return ProgressWindowLines(content, width, ui_.encoding_);
  }

  bool visible() const { return visible_; }

 private:
  void Change(std::string& field, const std::string& text) {
    if (field == text) return;
    field = text;
    ui_.dirty_ = true;
  }

  PosixTerminalUi& ui_;
  Window& window_;
  std::string caption_;
  std::string task_;
  std::string description_;
  int high_ = 100;
  int position_ = 0;
  bool visible_ = false;
  bool playing_ = false;
};

PosixTerminalUi::PosixTerminalUi(int input, std::FILE* out, bool interactive,
                                 volatile std::sig_atomic_t* interrupted, TerminalEncoding encoding)
    : input_(input),
      out_(out),
      interactive_(interactive),
      interrupted_(interrupted),
      encoding_(encoding) {}

// The screen is taken over only when there is something to show, so a program that ends
// before showing anything leaves the terminal as it was.
void PosixTerminalUi::TakeTerminal() {
  if (interactive_ && !raw_) raw_ = std::make_unique<RawTerminal>(input_, out_);
}

PosixTerminalUi::~PosixTerminalUi() = default;

int PosixTerminalUi::Width() const {
  winsize size{};
  if (::ioctl(::fileno(out_), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

int PosixTerminalUi::Height() const {
  winsize size{};
  if (::ioctl(::fileno(out_), TIOCGWINSZ, &size) == 0 && size.ws_row > 0) return size.ws_row;
  return 24;
}

Key PosixTerminalUi::ReadKey(int timeout_ms) {
  TakeTerminal();
  auto next_byte = [this](int wait_ms) -> int {
    pollfd poll_input{input_, POLLIN, 0};
    if (::poll(&poll_input, 1, wait_ms) <= 0) return -1;
    unsigned char byte;
    return ::read(input_, &byte, 1) == 1 ? byte : -2;
  };
  int byte = next_byte(timeout_ms);
  if (byte == -1) return {};
  if (byte == -2) return {Key::kInterrupt};  // the terminal is gone
  switch (byte) {
    case 3:
      return {Key::kInterrupt};
    case '\r':
    case '\n':
      return {Key::kEnter};
    case '\t':
      return {Key::kTab};
    case 8:
    case 127:
      return {Key::kBackspace};
    case 27: {
      int next = next_byte(30);
      if (next != '[' && next != 'O') return {Key::kEscape};
      std::string sequence;
      for (int c; (c = next_byte(30)) >= 0;) {
        sequence += static_cast<char>(c);
        if (c >= 0x40 && c <= 0x7E) break;
      }
      if (sequence == "A") return {Key::kUp};
      if (sequence == "B") return {Key::kDown};
      if (sequence == "C") return {Key::kRight};
      if (sequence == "D") return {Key::kLeft};
      if (sequence == "H" || sequence == "1~" || sequence == "7~") return {Key::kHome};
      if (sequence == "F" || sequence == "4~" || sequence == "8~") return {Key::kEnd};
      if (sequence == "5~") return {Key::kPageUp};
      if (sequence == "6~") return {Key::kPageDown};
      return {};
    }
    default:
      if (byte >= 32) return {Key::kChar, static_cast<char>(byte)};
      return {};
  }
}

std::optional<std::string> PosixTerminalUi::ReadLine() {
  while (true) {
    size_t end = pending_input_.find('\n');
    if (end != std::string::npos) {
      std::string line = pending_input_.substr(0, end);
      pending_input_.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    if (input_ended_) {
      if (pending_input_.empty()) return std::nullopt;
      return std::exchange(pending_input_, std::string());
    }
    char buffer[4096];
    ssize_t got = ::read(input_, buffer, sizeof buffer);
    if (got <= 0) {
      input_ended_ = true;
    } else {
      pending_input_.append(buffer, static_cast<size_t>(got));
    }
  }
}

std::vector<std::string> PosixTerminalUi::WindowLines(size_t width) const {
  std::vector<std::string> lines;
  for (const TerminalWindowPeer* dialog : dialogs_) {
    if (!dialog->visible()) continue;
    auto window = dialog->Lines(frame_, width);
    lines.insert(lines.end(), window.begin(), window.end());
  }
  return lines;
}

std::vector<std::string> PosixTerminalUi::ScreenLines(size_t width, size_t height,
                                                      const Overlay& overlay) const {
  if (width < kMinScreenWidth || height < kMinScreenHeight) {
    return {ScreenTooSmallNotice(width, height)};
  }
  std::vector<std::string> window = WindowLines(width);
  if (!overlay) return StackOnScreen(window, {}, height);
  std::vector<std::string> below = overlay(width, height, false);
  if (window.size() + 1 + below.size() <= height) return StackOnScreen(window, below, height);
  return StackOnScreen(window, overlay(width, height, true), height);
}

void PosixTerminalUi::Render(const Overlay& overlay) {
  TakeTerminal();
  std::string screen = "\x1b[H";
  if (resized) {
    resized = 0;
    screen = "\x1b[H\x1b[2J";
  }
  std::vector<std::string> lines = ScreenLines(static_cast<size_t>(std::max(Width(), 1)),
                                               static_cast<size_t>(std::max(Height(), 1)), overlay);
  for (size_t i = 0; i < lines.size(); ++i) {
    screen += lines[i];
    screen += "\x1b[K";
    if (i + 1 < lines.size()) screen += "\r\n";
  }
  screen += "\x1b[J";
  WriteFrame(out_, screen);
  dirty_ = false;
  last_draw_ = std::chrono::steady_clock::now();
}

void PosixTerminalUi::DeliverCancel(uint16_t id) {
  std::vector<TerminalWindowPeer*> dialogs = dialogs_;
  for (TerminalWindowPeer* dialog : dialogs) dialog->window().Dispatch(CommandEvent(id));
}

int PosixTerminalUi::RunBox(BoxSpec box, const std::vector<int>& replies) {
  const size_t count = box.buttons.size();
  BoxLayout layout;
  Overlay overlay = [&](size_t width, size_t height, bool alone) {
    layout = LayOutBox(box, width, alone ? height : SIZE_MAX, encoding_);
    return layout.lines;
  };
  while (true) {
    if (Ending()) {
      Render(nullptr);
      return replies.back();
    }
    Render(overlay);
    box.scroll = layout.scroll;
    Key key = ReadKey(static_cast<int>(kFrameTime.count()));
    std::optional<int> reply;
    switch (key.code) {
      case Key::kNone:
        ++frame_;
        break;
      case Key::kEnter:
        reply = replies[box.focus];
        break;
      case Key::kEscape:
      case Key::kInterrupt:
        reply = replies.back();
        break;
      case Key::kTab:
      case Key::kRight:
        box.focus = (box.focus + 1) % count;
        break;
      case Key::kLeft:
        box.focus = (box.focus + count - 1) % count;
        break;
      case Key::kUp:
        box.scroll = box.scroll > 0 ? box.scroll - 1 : 0;
        break;
      case Key::kDown:
        ++box.scroll;
        break;
      case Key::kPageUp:
        box.scroll -= std::min(box.scroll, std::max<size_t>(layout.shown_text_lines, 1));
        break;
      case Key::kPageDown:
        box.scroll += std::max<size_t>(layout.shown_text_lines, 1);
        break;
      case Key::kHome:
        box.scroll = 0;
        break;
      case Key::kEnd:
        box.scroll = layout.max_scroll;
        break;
      case Key::kChar:
        for (size_t i = 0; i < count; ++i) {
          char c = key.ch >= 'a' && key.ch <= 'z' ? static_cast<char>(key.ch - 32) : key.ch;
          if (!box.buttons[i].empty() && box.buttons[i][0] == c) reply = replies[i];
        }
        break;
      default:
        break;
    }
    if (reply) {
      Render(nullptr);
      return *reply;
    }
  }
}

int PosixTerminalUi::ShowMessageBox(Window*, const std::string& caption, const std::string& text,
                                    uint32_t type) {
  const bool ok_cancel = (type & 0x0F) == MB_OKCANCEL;
  if (Ending()) return ok_cancel ? BOXREPLYCANCEL : BOXREPLYOK;
  const char* icon = (type & 0xF0) == MB_ICONINFORMATION   ? "(i) "
                     : (type & 0xF0) == MB_ICONEXCLAMATION ? "(!) "
                                                           : "";
  if (!interactive_) {
    std::fprintf(out_, "\n%s[%s]\n", icon, Shown(caption).c_str());
    for (const auto& line : WrapText(DisplayText(text, encoding_, true), kScriptWidth, encoding_))
      std::fprintf(out_, "%s\n", line.c_str());
    std::fputs(ok_cancel ? "[ OK ]  [ Cancel ] > " : "[ OK ] > ", out_);
    std::fflush(out_);
    std::optional<std::string> answer = ReadLine();
    std::fputc('\n', out_);
    if (!ok_cancel) return BOXREPLYOK;
    if (!answer) return BOXREPLYCANCEL;
    std::string word = *answer;
    for (char& c : word) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    return (word.empty() || word == "ok" || word == "o" || word == "y" || word == "yes")
               ? BOXREPLYOK
               : BOXREPLYCANCEL;
  }

  BoxSpec box;
  box.caption = caption;
  box.text = icon + text;
  box.button_gap = 3;
  if (ok_cancel) {
    box.buttons = {"OK", "Cancel"};
    box.help = "  Enter: choose   Tab: other button   Esc: Cancel";
    return RunBox(box, {BOXREPLYOK, BOXREPLYCANCEL});
  }
  box.buttons = {"OK"};
  box.help = "  Enter: OK";
  return RunBox(box, {BOXREPLYOK});
}

int PosixTerminalUi::ErrorMessageBox(const std::string& text, const std::string& caption,
                                     uint32_t first, uint32_t retry, uint32_t flags) {
  struct Choice {
    std::string label;
    int reply;
  };
  if (Ending()) return ERRORBOX_QUIT;
  std::vector<Choice> choices;
  if (first == 1) choices.push_back({"Continue", ERRORBOX_FIRST});
  if (retry == 2) choices.push_back({"Retry", ERRORBOX_RETRY});
  choices.push_back({(flags & 0xFF) == 3 ? "Break" : "Quit", ERRORBOX_QUIT});

  if (!interactive_) {
    std::fprintf(out_, "\n(x) [%s]\n", Shown(caption).c_str());
    for (const auto& line : WrapText(DisplayText(text, encoding_, true), kScriptWidth, encoding_))
      std::fprintf(out_, "%s\n", line.c_str());
    for (const Choice& choice : choices) std::fprintf(out_, "[ %s ]  ", choice.label.c_str());
    std::fputs("> ", out_);
    std::fflush(out_);
    std::optional<std::string> answer = ReadLine();
    std::fputc('\n', out_);
    std::string word = answer.value_or("");
    for (char& c : word) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    for (const Choice& choice : choices) {
      std::string label = choice.label;
      for (char& c : label) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
      if (choice.reply != ERRORBOX_QUIT && !word.empty() &&
          (word == label || word == label.substr(0, 1))) {
        return choice.reply;
      }
    }
    return ERRORBOX_QUIT;
  }

  BoxSpec box;
  box.caption = caption;
  box.text = "(x) " + text;
  std::vector<int> replies;
  for (const Choice& choice : choices) {
    box.buttons.push_back(choice.label);
    replies.push_back(choice.reply);
  }
  box.help = "  Enter: choose   Tab: next button   Esc: " + choices.back().label;
  return RunBox(box, replies);
}

void PosixTerminalUi::Tone(uint32_t, uint32_t) {
  if (!interactive_) return;
  std::fputc('\a', out_);
  std::fflush(out_);
}

std::unique_ptr<WindowPeer> PosixTerminalUi::CreateDialog(Window& window, const ResourceID&, bool) {
  return std::make_unique<TerminalWindowPeer>(*this, window);
}

std::optional<std::vector<std::string>> PosixTerminalUi::ShowOpenDialog(
    const OpenDialogRequest& request) {
  if (Ending()) return std::nullopt;
  std::vector<char> cwd(4096);
  std::string folder = ::getcwd(cwd.data(), cwd.size()) ? cwd.data() : "/";

  if (!interactive_) {
    std::fprintf(out_, "\n[%s]\nFile name: %s\n", Shown(request.caption).c_str(),
                 Shown(request.initial_file_name).c_str());
    for (size_t i = 0; i < request.patterns.size() && i < request.descriptions.size(); ++i) {
      std::fprintf(out_, "Files of type: %s (%s)\n", Shown(request.descriptions[i]).c_str(),
                   Shown(request.patterns[i]).c_str());
    }
    std::fputs("Type one path or pattern per line, then an empty line:\n", out_);
    std::fflush(out_);
    std::vector<std::string> chosen;
    for (std::optional<std::string> line; (line = ReadLine()) && !line->empty();) {
      std::string path = ResolvePath(folder, *line);
      if (line->find_first_of("*?") == std::string::npos) {
        chosen.push_back(path);
        continue;
      }
      std::vector<std::string> matches = ExpandWildcards(path, true);
      chosen.insert(chosen.end(), matches.begin(), matches.end());
    }
    if (chosen.empty()) return std::nullopt;
    if ((request.options & OFN_ALLOWMULTISELECT) == 0) chosen.resize(1);
    return chosen;
  }

  FilePicker picker(request, folder, ListFolder);
  Overlay overlay = [&](size_t width, size_t height, bool alone) {
    if (!alone) {
      // Below the progress window, the list leaves the screen's last 20 rows to the rest.
      return FilePickerLines(picker, width, std::max<size_t>(3, height > 20 ? height - 20 : 0),
                             false, encoding_);
    }
    size_t others = FilePickerLines(picker, width, 1, true, encoding_).size() - 1;
    return FilePickerLines(picker, width, height > others ? height - others : 1, true, encoding_);
  };
  while (true) {
    if (Ending()) {
      Render(nullptr);
      return std::nullopt;
    }
    Render(overlay);
    Key key = ReadKey(static_cast<int>(kFrameTime.count()));
    if (key.code == Key::kNone) {
      ++frame_;
      continue;
    }
    FilePicker::State state = picker.HandleKey(key);
    if (state == FilePicker::State::kCancelled) {
      Render(nullptr);
      return std::nullopt;
    }
    if (state == FilePicker::State::kConfirmed) {
      Render(nullptr);
      return picker.chosen();
    }
  }
}

bool PosixTerminalUi::Ending() {
  if (!ending_ && interrupted_ != nullptr &&
      (*interrupted_ == SIGTERM || *interrupted_ == SIGHUP)) {
    ending_ = true;
    *interrupted_ = 0;
    DeliverCancel(static_cast<uint16_t>(IDCANCEL));
  }
  return ending_;
}

void PosixTerminalUi::ProcessPendingEvents() {
  if (Ending()) return;
  if (interrupted_ != nullptr && *interrupted_ != 0) {
    *interrupted_ = 0;
    DeliverCancel(static_cast<uint16_t>(IDCANCEL));
  }
  if (!interactive_) return;
  // Called once per record: look at the keyboard and the screen only a few times a second,
  // and at once after a resize.
  auto now = std::chrono::steady_clock::now();
  if (!resized && now - last_draw_ < std::chrono::milliseconds(40)) return;
  for (Key key; (key = ReadKey(0)).code != Key::kNone;) {
    if (key.code == Key::kEscape || key.code == Key::kInterrupt) {
      DeliverCancel(static_cast<uint16_t>(IDCANCEL));
    } else if (key.code == Key::kEnter || (key.code == Key::kChar && key.ch == ' ')) {
      DeliverCancel(kCancelButtonId);  // the focused Cancel button is pressed
    }
  }
  if (dirty_ || resized || now - last_draw_ >= kFrameTime) {
    ++frame_;
    Render(nullptr);
  }
}

std::optional<std::vector<PickerEntry>> ListFolder(const std::string& folder) {
  // Only a folder is opened: opening a FIFO or a device could block or act on the device.
  struct stat folder_info;
  if (::stat(folder.c_str(), &folder_info) != 0 || !S_ISDIR(folder_info.st_mode)) {
    return std::nullopt;
  }
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return std::nullopt;
  std::vector<PickerEntry> entries;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info;
    std::string path = (folder == "/" ? "" : folder) + "/" + name;
    bool is_directory = ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    entries.push_back({name, is_directory});
  }
  ::closedir(dir);
  return entries;
}

}  // namespace qef
