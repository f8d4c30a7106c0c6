#include "platform/posix/posix_terminal_ui.h"

#include <dirent.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/posix/wildcard.h"
#include "ui/window.h"

namespace qef {

namespace {

constexpr int kTaskControl = 102;
constexpr int kDescriptionControl = 103;
constexpr uint16_t kCancelButton = 100;
constexpr int kBoxWidth = 64;
constexpr auto kFrameTime = std::chrono::milliseconds(100);

// Text with its CR LF pairs as plain line breaks, cut into lines of at most `width` characters
// at blanks where it can.
std::vector<std::string> Wrap(const std::string& text, size_t width) {
  std::vector<std::string> lines;
  std::string paragraph;
  auto flush = [&](std::string line) {
    while (line.size() > width) {
      size_t cut = line.rfind(' ', width);
      if (cut == std::string::npos || cut == 0) cut = width;
      lines.push_back(line.substr(0, cut));
      line.erase(0, line[cut] == ' ' ? cut + 1 : cut);
    }
    lines.push_back(line);
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\n' || text[i] == '\r') {
      flush(paragraph);
      paragraph.clear();
    } else {
      paragraph += text[i];
    }
  }
  flush(paragraph);
  return lines;
}

std::string Pad(std::string text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::string Framed(const std::string& text, size_t width) { return "| " + Pad(text, width) + " |"; }

std::string TopLine(const std::string& caption, size_t width) {
  std::string line = "+- " + caption + " ";
  return line.size() < width + 4 ? line + std::string(width + 4 - line.size() - 1, '-') + "+"
                                 : line;
}

std::string BottomLine(size_t width) { return "+" + std::string(width + 2, '-') + "+"; }

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
    std::fputs("\x1b[?1049h\x1b[?25l", out_);
    std::fflush(out_);
  }
  ~RawTerminal() {
    std::fputs("\x1b[?25h\x1b[?1049l", out_);
    std::fflush(out_);
    if (saved_ok_) ::tcsetattr(input_, TCSANOW, &saved_);
  }
  RawTerminal(const RawTerminal&) = delete;
  RawTerminal& operator=(const RawTerminal&) = delete;

 private:
  int input_;
  std::FILE* out_;
  termios saved_{};
  bool saved_ok_ = false;
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
    if (id == kTaskControl) {
      Change(task_, text);
      if (!ui_.interactive_ && !text.empty()) {
        std::fprintf(ui_.out_, "%s: %s\n", text.c_str(), description_.c_str());
        std::fflush(ui_.out_);
      }
    } else if (id == kDescriptionControl) {
      Change(description_, text);
    }
  }

  void SetProgressPosition(int, int position) override {
    if (position == position_) return;
    position_ = position;
    ui_.dirty_ = true;
  }

  Window& window() { return window_; }

  std::vector<std::string> Lines(unsigned frame) const {
    static constexpr char kSpinner[] = "|/-\\";
    const size_t width = kBoxWidth;
    int percent = std::clamp(position_ * 100 / high_, 0, 100);
    size_t bar = width - 8;
    auto filled = static_cast<size_t>(percent) * bar / 100;
    char spinner = playing_ ? kSpinner[frame % 4] : ' ';
    return {TopLine(caption_, width),
            Framed(std::string(1, spinner) + "  " + description_, width),
            "| " + std::string("   \x1b[1m") + task_ + "\x1b[22m" +
                std::string(width > task_.size() + 3 ? width - task_.size() - 3 : 0, ' ') + " |",
            Framed("[" + std::string(filled, '#') + std::string(bar - filled, '-') + "] " +
                       (percent < 10    ? "  "
                        : percent < 100 ? " "
                                        : "") +
                       std::to_string(percent) + "%",
                   width),
            Framed(std::string(width / 2 - 6, ' ') + "[ Cancel ]", width),
            BottomLine(width)};
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
                                 volatile std::sig_atomic_t* interrupted)
    : input_(input), out_(out), interactive_(interactive), interrupted_(interrupted) {}

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

std::vector<std::string> PosixTerminalUi::WindowLines() const {
  std::vector<std::string> lines;
  for (const TerminalWindowPeer* dialog : dialogs_) {
    if (!dialog->visible()) continue;
    auto window = dialog->Lines(frame_);
    lines.insert(lines.end(), window.begin(), window.end());
  }
  return lines;
}

void PosixTerminalUi::Render(const std::vector<std::string>& overlay) {
  TakeTerminal();
  overlay_ = overlay;
  std::vector<std::string> lines = WindowLines();
  if (!lines.empty() && !overlay.empty()) lines.emplace_back();
  lines.insert(lines.end(), overlay.begin(), overlay.end());
  auto rows = static_cast<size_t>(std::max(Height(), 1));
  std::string screen = "\x1b[H";
  for (size_t i = 0; i < lines.size() && i < rows; ++i) {
    screen += lines[i];
    screen += "\x1b[K";
    if (i + 1 < lines.size() && i + 1 < rows) screen += "\r\n";
  }
  screen += "\x1b[J";
  std::fwrite(screen.data(), 1, screen.size(), out_);
  std::fflush(out_);
  dirty_ = false;
  last_draw_ = std::chrono::steady_clock::now();
}

void PosixTerminalUi::RedrawIfDue() {
  auto now = std::chrono::steady_clock::now();
  if (now - last_draw_ < kFrameTime) return;
  ++frame_;
  Render(overlay_);
}

void PosixTerminalUi::DeliverCancel(uint16_t id) {
  std::vector<TerminalWindowPeer*> dialogs = dialogs_;
  for (TerminalWindowPeer* dialog : dialogs) dialog->window().Dispatch(CommandEvent(id));
}

int PosixTerminalUi::ShowMessageBox(Window*, const std::string& caption, const std::string& text,
                                    uint32_t type) {
  const bool ok_cancel = (type & 0x0F) == MB_OKCANCEL;
  const char* icon = (type & 0xF0) == MB_ICONINFORMATION   ? "(i) "
                     : (type & 0xF0) == MB_ICONEXCLAMATION ? "(!) "
                                                           : "";
  if (!interactive_) {
    std::fprintf(out_, "\n%s[%s]\n", icon, caption.c_str());
    for (const auto& line : Wrap(text, 78)) std::fprintf(out_, "%s\n", line.c_str());
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

  const size_t width = kBoxWidth;
  bool focus_ok = true;
  while (true) {
    std::vector<std::string> box = {TopLine(caption, width)};
    for (const auto& line : Wrap(icon + text, width)) box.push_back(Framed(line, width));
    box.push_back(Framed("", width));
    std::string ok = focus_ok ? "[> OK <]" : "[  OK  ]";
    std::string buttons =
        ok_cancel ? ok + "   " + (focus_ok ? "[  Cancel  ]" : "[> Cancel <]") : ok;
    box.push_back(Framed(std::string((width - buttons.size()) / 2, ' ') + buttons, width));
    box.push_back(BottomLine(width));
    box.push_back(ok_cancel ? "  Enter: choose   Tab: other button   Esc: Cancel" : "  Enter: OK");
    Render(box);

    Key key = ReadKey(static_cast<int>(kFrameTime.count()));
    std::optional<int> reply;
    switch (key.code) {
      case Key::kNone:
        ++frame_;
        break;
      case Key::kEnter:
        reply = focus_ok || !ok_cancel ? BOXREPLYOK : BOXREPLYCANCEL;
        break;
      case Key::kEscape:
      case Key::kInterrupt:
        reply = ok_cancel ? BOXREPLYCANCEL : BOXREPLYOK;
        break;
      case Key::kTab:
      case Key::kLeft:
      case Key::kRight:
        focus_ok = !ok_cancel || !focus_ok;
        break;
      case Key::kChar:
        if (key.ch == 'o' || key.ch == 'O') reply = BOXREPLYOK;
        if (ok_cancel && (key.ch == 'c' || key.ch == 'C')) reply = BOXREPLYCANCEL;
        break;
      default:
        break;
    }
    if (reply) {
      Render({});
      return *reply;
    }
  }
}

int PosixTerminalUi::ErrorMessageBox(const std::string& text, const std::string& caption,
                                     uint32_t first, uint32_t retry, uint32_t flags) {
  struct Choice {
    std::string label;
    int reply;
  };
  std::vector<Choice> choices;
  if (first == 1) choices.push_back({"Continue", ERRORBOX_FIRST});
  if (retry == 2) choices.push_back({"Retry", ERRORBOX_RETRY});
  choices.push_back({(flags & 0xFF) == 3 ? "Break" : "Quit", ERRORBOX_QUIT});

  if (!interactive_) {
    std::fprintf(out_, "\n(x) [%s]\n", caption.c_str());
    for (const auto& line : Wrap(text, 78)) std::fprintf(out_, "%s\n", line.c_str());
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

  const size_t width = kBoxWidth;
  size_t focus = 0;
  while (true) {
    std::vector<std::string> box = {TopLine(caption, width)};
    for (const auto& line : Wrap("(x) " + text, width)) box.push_back(Framed(line, width));
    box.push_back(Framed("", width));
    std::string buttons;
    for (size_t i = 0; i < choices.size(); ++i) {
      if (i > 0) buttons += "  ";
      buttons += (i == focus ? "[> " : "[  ") + choices[i].label + (i == focus ? " <]" : "  ]");
    }
    box.push_back(Framed(std::string((width - buttons.size()) / 2, ' ') + buttons, width));
    box.push_back(BottomLine(width));
    box.push_back("  Enter: choose   Tab: next button   Esc: " + choices.back().label);
    Render(box);

    Key key = ReadKey(static_cast<int>(kFrameTime.count()));
    std::optional<int> reply;
    switch (key.code) {
      case Key::kNone:
        ++frame_;
        break;
      case Key::kEnter:
        reply = choices[focus].reply;
        break;
      case Key::kEscape:
      case Key::kInterrupt:
        reply = ERRORBOX_QUIT;
        break;
      case Key::kTab:
      case Key::kRight:
        focus = (focus + 1) % choices.size();
        break;
      case Key::kLeft:
        focus = (focus + choices.size() - 1) % choices.size();
        break;
      case Key::kChar:
        for (const Choice& choice : choices) {
          char c = key.ch >= 'a' && key.ch <= 'z' ? static_cast<char>(key.ch - 32) : key.ch;
          if (choice.label[0] == c) reply = choice.reply;
        }
        break;
      default:
        break;
    }
    if (reply) {
      Render({});
      return *reply;
    }
  }
}

void PosixTerminalUi::Tone(uint32_t, uint32_t) {
  if (!interactive_) return;
  std::fputc('\a', out_);
  std::fflush(out_);
}

std::unique_ptr<WindowPeer> PosixTerminalUi::CreateDialog(Window& window, const ResourceID&, bool) {
  return std::make_unique<TerminalWindowPeer>(*this, window);
}

std::vector<std::string> PosixTerminalUi::PickerLines(const FilePicker& picker) const {
  const size_t width = static_cast<size_t>(std::max(40, std::min(Width() - 4, 100)));
  const auto& request = picker.request();
  std::vector<std::string> lines = {TopLine(request.caption, width),
                                    Framed("Look in: " + picker.folder(), width)};
  size_t room = static_cast<size_t>(std::max(3, Height() - 20));
  const auto& entries = picker.entries();
  size_t first = picker.cursor() >= room ? picker.cursor() - room + 1 : 0;
  for (size_t i = first; i < entries.size() && i < first + room; ++i) {
    const PickerEntry& entry = entries[i];
    std::string mark = entry.is_directory ? "    " : picker.IsChosen(entry.name) ? "[x] " : "[ ] ";
    std::string line =
        (i == picker.cursor() ? "> " : "  ") + mark + entry.name + (entry.is_directory ? "/" : "");
    lines.push_back(Framed(line, width));
  }
  if (entries.empty()) lines.push_back(Framed("  (empty)", width));
  lines.push_back(Framed("", width));
  std::string type =
      request.descriptions.size() > picker.filter()
          ? request.descriptions[picker.filter()] + " (" + request.patterns[picker.filter()] + ")"
          : picker.pattern();
  lines.push_back(Framed(
      std::string("File name:     ") + picker.field() + (picker.editing() ? "_" : ""), width));
  lines.push_back(Framed("Files of type: " + type, width));
  lines.push_back(Framed(std::to_string(picker.chosen().size()) + " chosen", width));
  if (!picker.message().empty()) lines.push_back(Framed(picker.message(), width));
  lines.push_back(BottomLine(width));
  lines.push_back(picker.editing() ? "  Type a name, folder or pattern; Enter: apply   Esc: back"
                                   : "  Space: choose  Enter: open/OK  Backspace: up  Tab: type  "
                                     "/: name  Esc: Cancel");
  return lines;
}

std::optional<std::vector<std::string>> PosixTerminalUi::ShowOpenDialog(
    const OpenDialogRequest& request) {
  std::vector<char> cwd(4096);
  std::string folder = ::getcwd(cwd.data(), cwd.size()) ? cwd.data() : "/";

  if (!interactive_) {
    std::fprintf(out_, "\n[%s]\nFile name: %s\n", request.caption.c_str(),
                 request.initial_file_name.c_str());
    for (size_t i = 0; i < request.patterns.size() && i < request.descriptions.size(); ++i) {
      std::fprintf(out_, "Files of type: %s (%s)\n", request.descriptions[i].c_str(),
                   request.patterns[i].c_str());
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
      std::string parent = ParentFolder(path);
      std::string pattern = path.substr(parent.size() == 1 ? 1 : parent.size() + 1);
      std::vector<std::string> matches;
      for (const auto& entry : ListFolder(parent).value_or(std::vector<PickerEntry>())) {
        if (!entry.is_directory && MatchesAnyPattern(pattern, entry.name)) {
          matches.push_back((parent == "/" ? "" : parent) + "/" + entry.name);
        }
      }
      std::sort(matches.begin(), matches.end());
      chosen.insert(chosen.end(), matches.begin(), matches.end());
    }
    if (chosen.empty()) return std::nullopt;
    if ((request.options & OFN_ALLOWMULTISELECT) == 0) chosen.resize(1);
    return chosen;
  }

  FilePicker picker(request, folder, ListFolder);
  while (true) {
    Render(PickerLines(picker));
    Key key = ReadKey(static_cast<int>(kFrameTime.count()));
    if (key.code == Key::kNone) {
      ++frame_;
      continue;
    }
    FilePicker::State state = picker.HandleKey(key);
    if (state == FilePicker::State::kCancelled) {
      Render({});
      return std::nullopt;
    }
    if (state == FilePicker::State::kConfirmed) {
      Render({});
      return picker.chosen();
    }
  }
}

void PosixTerminalUi::ProcessPendingEvents() {
  if (interrupted_ != nullptr && *interrupted_ != 0) {
    *interrupted_ = 0;
    DeliverCancel(static_cast<uint16_t>(IDCANCEL));
  }
  if (!interactive_) return;
  // Called once per record: look at the keyboard and the screen only a few times a second.
  auto now = std::chrono::steady_clock::now();
  if (now - last_draw_ < std::chrono::milliseconds(40)) return;
  for (Key key; (key = ReadKey(0)).code != Key::kNone;) {
    if (key.code == Key::kEscape || key.code == Key::kInterrupt) {
      DeliverCancel(static_cast<uint16_t>(IDCANCEL));
    } else if (key.code == Key::kEnter || (key.code == Key::kChar && key.ch == ' ')) {
      DeliverCancel(kCancelButton);  // the focused Cancel button is pressed
    }
  }
  if (dirty_ || now - last_draw_ >= kFrameTime) {
    ++frame_;
    Render(overlay_);
  }
}

std::optional<std::vector<PickerEntry>> ListFolder(const std::string& folder) {
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
