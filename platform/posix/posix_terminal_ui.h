#pragma once

#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/display_text.h"
#include "ui/console.h"
#include "ui/file_picker.h"
#include "ui/terminal_layout.h"
#include "ui/user_interface.h"

namespace qef {

class TerminalWindowPeer;
class RawTerminal;

// The exportfix program's user interface in a terminal. On a terminal it draws full screen: the
// progress window at the top (spinner, description, bold task line, bar, Cancel button) and a
// modal box or the file picker below it; Escape or Ctrl-C reach the progress window as its
// cancel command, Enter presses its Cancel button. When standard input is not a terminal the
// answers are read as lines, so the program can be scripted:
//   - a box with OK and Cancel takes "ok" (or an empty line, "o", "y") or "cancel" ("c", "n");
//     the end of the input cancels; a box with OK alone takes any line or the end;
//   - the open dialog takes one path or pattern per line, up to an empty line or the end;
//     patterns ("*.AEF") choose every matching file; none at all cancels.
// Every text that may hold a name reaches the terminal as display text (DisplayText), and the
// screens are laid out for the terminal's size at each drawing, so a resize redraws them.
class PosixTerminalUi : public UserInterface {
 public:
  PosixTerminalUi(int input, std::FILE* out, bool interactive,
                  volatile std::sig_atomic_t* interrupted,
                  TerminalEncoding encoding = ConsoleEncoding());
  ~PosixTerminalUi() override;

  int ShowMessageBox(Window* owner, const std::string& caption, const std::string& text,
                     uint32_t type) override;
  std::unique_ptr<WindowPeer> CreateDialog(Window& window, const ResourceID& dialog_template,
                                           bool modal) override;
  std::optional<std::vector<std::string>> ShowOpenDialog(const OpenDialogRequest& request) override;
  void ProcessPendingEvents() override;
  // The error box offers "Continue" (the first choice) and "Retry" as the arguments say, and
  // "Quit", or "Break" when a recovery point exists. Scripted, it takes "continue" ("c"),
  // "retry" ("r"), or anything else and the end of the input for the last button.
  int ErrorMessageBox(const std::string& text, const std::string& caption, uint32_t first,
                      uint32_t retry, uint32_t flags) override;
  // Rings the terminal's bell; scripted runs stay silent.
  void Tone(uint32_t frequency, uint32_t duration) override;

 private:
  friend class TerminalWindowPeer;

  void TakeTerminal();
  // Reads one key, waiting at most `timeout_ms` (-1: without limit); kNone on a time-out.
  Key ReadKey(int timeout_ms);
  // Reads one line of scripted input; nothing at the end of the input.
  std::optional<std::string> ReadLine();
  // A box or the file picker laid out for a screen `width` columns wide: `alone` false asks
  // for its natural size (drawn below the progress window if both fit), true for at most
  // `height` rows (drawn alone).
  using Overlay = std::function<std::vector<std::string>(size_t width, size_t height, bool alone)>;
  // Draws the whole screen for its current size: the progress window and the overlay, if any.
  void Render(const Overlay& overlay);
  std::vector<std::string> ScreenLines(size_t width, size_t height, const Overlay& overlay) const;
  std::vector<std::string> WindowLines(size_t width) const;
  // Shows a box until a button is chosen; returns that button's reply. Escape and Ctrl-C
  // choose the last button.
  int RunBox(BoxSpec box, const std::vector<int>& replies);
  int Width() const;
  int Height() const;
  void DeliverCancel(uint16_t id);
  // True once a request to end (SIGTERM, SIGHUP) came: the run under way is cancelled, and from
  // then on every box closes at once with its last button and the file dialog chooses nothing,
  // so the program ends without waiting for anyone.
  bool Ending();
  std::string Shown(const std::string& bytes) const { return DisplayText(bytes, encoding_); }

  int input_;
  std::FILE* out_;
  bool interactive_;
  volatile std::sig_atomic_t* interrupted_;
  TerminalEncoding encoding_;
  std::unique_ptr<RawTerminal> raw_;
  std::vector<TerminalWindowPeer*> dialogs_;
  bool dirty_ = true;
  std::chrono::steady_clock::time_point last_draw_;
  unsigned frame_ = 0;
  std::string pending_input_;
  bool input_ended_ = false;
  bool ending_ = false;
};

// The names and kinds of a folder's entries; nothing when it cannot be read or is no folder.
// Entries are only looked at (stat), never opened, so a FIFO or a device cannot block it.
std::optional<std::vector<PickerEntry>> ListFolder(const std::string& folder);

}  // namespace qef
