#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/user_interface.h"

namespace qef {

class Win32WindowPeer;

// The window library on Windows: message boxes with MessageBoxA, the common open-file dialog,
// modeless dialogs from their templates with every window message routed into the window's
// Dispatch, and a pump of pending messages for ApplicationExec.
class Win32Ui : public UserInterface {
 public:
  // `trace_path`, when not empty, names a file that gets one line for each box and dialog
  // shown: a diagnostic for tests that drive the program from outside.
  explicit Win32Ui(std::string trace_path = {});

  int ShowMessageBox(Window* owner, const std::string& caption, const std::string& text,
                     uint32_t type) override;
  std::unique_ptr<WindowPeer> CreateDialog(Window& window, const ResourceID& dialog_template,
                                           bool modal) override;
  std::optional<std::vector<std::string>> ShowOpenDialog(const OpenDialogRequest& request) override;
  void ProcessPendingEvents() override;
  int ErrorMessageBox(const std::string& text, const std::string& caption, uint32_t first,
                      uint32_t retry, uint32_t flags) override;
  void Tone(uint32_t frequency, uint32_t duration) override;

 private:
  friend class Win32WindowPeer;
  void Trace(const std::string& line) const;

  std::string trace_path_;
  std::vector<Win32WindowPeer*> dialogs_;
  bool pumped_ = false;
  unsigned long long last_pump_ = 0;
};

// The reply code of the window library for a Windows dialog result.
int BoxReplyFor(int windows_result);
// The buttons of the run-time's error box for the choices offered, and its reply for the
// button pressed.
uint32_t ErrorBoxButtons(uint32_t first, uint32_t retry);
int ErrorBoxReplyFor(uint32_t buttons, int windows_result);
// The full paths in an open-file dialog's result buffer: one full path, or a folder followed
// by file names (the multiple-selection form), each ended by a zero byte, the list by two.
std::vector<std::string> OpenDialogPaths(const char* buffer, bool several);

}  // namespace qef
