#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/user_interface.h"

namespace qef {

// The user interface of a command that writes a report to standard output: boxes and events go
// to the wrapped interface, but dialogs show nothing, since a live progress line on the same
// terminal would break the report's lines. Ctrl-C still reaches the window as its cancel
// command, because the wrapped interface keeps its own record of every dialog.
class QuietDialogsUi : public UserInterface {
 public:
  explicit QuietDialogsUi(UserInterface& ui) : ui_(ui) {}

  int ShowMessageBox(Window* owner, const std::string& caption, const std::string& text,
                     uint32_t type) override {
    return ui_.ShowMessageBox(owner, caption, text, type);
  }
  std::unique_ptr<WindowPeer> CreateDialog(Window& window, const ResourceID& dialog_template,
                                           bool modal) override;
  std::optional<std::vector<std::string>> ShowOpenDialog(
      const OpenDialogRequest& request) override {
    return ui_.ShowOpenDialog(request);
  }
  void ProcessPendingEvents() override { ui_.ProcessPendingEvents(); }
  int ErrorMessageBox(const std::string& text, const std::string& caption, uint32_t first,
                      uint32_t retry, uint32_t flags) override {
    return ui_.ErrorMessageBox(text, caption, first, retry, flags);
  }
  void Tone(uint32_t frequency, uint32_t duration) override { ui_.Tone(frequency, duration); }

 private:
  UserInterface& ui_;
};

}  // namespace qef
