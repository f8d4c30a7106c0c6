#pragma once

#include <csignal>
#include <cstdio>
#include <vector>

#include "runtime/display_text.h"
#include "ui/user_interface.h"

namespace qef {

class ConsoleWindowPeer;

// The user interface of a command-line tool. A box prints its text as one line; a dialog is a
// status line with its task and percentage, redrawn in place on a terminal (live) or printed
// once per task otherwise; the interrupt flag, once set, reaches every dialog as its cancel
// command. Texts reach the stream through DisplayText, so the control characters of a file
// name are shown, not obeyed.
class ConsoleUi : public UserInterface {
 public:
  ConsoleUi(std::FILE* out, bool live, volatile std::sig_atomic_t* interrupted,
            TerminalEncoding encoding = TerminalEncoding::kUtf8)
      : out_(out), live_(live), interrupted_(interrupted), encoding_(encoding) {}

  int ShowMessageBox(Window* owner, const std::string& caption, const std::string& text,
                     uint32_t type) override;
  std::unique_ptr<WindowPeer> CreateDialog(Window& window, const ResourceID& dialog_template,
                                           bool modal) override;
  void ProcessPendingEvents() override;
  // Prints the caption and the text; a command-line tool has no one to ask, so the box is
  // closed without a choice (ERRORBOX_QUIT).
  int ErrorMessageBox(const std::string& text, const std::string& caption, uint32_t first,
                      uint32_t retry, uint32_t flags) override;
  // Rings the terminal's bell when the output is live.
  void Tone(uint32_t frequency, uint32_t duration) override;

  // Removes the live status line, if one is shown.
  void ClearStatus();

 private:
  friend class ConsoleWindowPeer;
  std::FILE* out_;
  bool live_;
  volatile std::sig_atomic_t* interrupted_;
  TerminalEncoding encoding_;
  bool status_shown_ = false;
  std::vector<ConsoleWindowPeer*> dialogs_;
};

}  // namespace qef
