#pragma once

// The seam between the portable window library and a user-interface backend. The library keeps
// the state (texts, names, flags) and asks the backend only to show things; the backend turns
// what the user does into events for the window's Dispatch.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qef {

class Window;
class ResourceID;
class Font;

inline constexpr uint32_t WM_COMMAND = 0x0111;
inline constexpr uintptr_t IDCANCEL = 2;

// Message-box styles, as Windows numbers them.
inline constexpr uint32_t MB_OK = 0x00;
inline constexpr uint32_t MB_OKCANCEL = 0x01;
inline constexpr uint32_t MB_ICONEXCLAMATION = 0x30;
inline constexpr uint32_t MB_ICONINFORMATION = 0x40;

inline constexpr uint32_t MB_ICONHAND = 0x10;

// Replies of the run-time's error box: the first choice, the retry choice, and the code for
// every other way of closing it.
inline constexpr int ERRORBOX_FIRST = 1;
inline constexpr int ERRORBOX_RETRY = 2;
inline constexpr int ERRORBOX_QUIT = 3;

// The window library's reply codes of a text box (not the Windows dialog results).
inline constexpr int BOXREPLYOK = 4;
inline constexpr int BOXREPLYCANCEL = 3;

// Open-file dialog options, as Windows numbers them.
inline constexpr uint32_t OFN_HIDEREADONLY = 0x00000004;
inline constexpr uint32_t OFN_ALLOWMULTISELECT = 0x00000200;

// What an open-file dialog is to show.
struct OpenDialogRequest {
  Window* owner = nullptr;
  std::string caption;
  std::string initial_file_name;
  uint32_t options = 0;
  std::vector<std::string> patterns;      // "*.AEF;*.MEF"
  std::vector<std::string> descriptions;  // "Export Files"
  int filter_index = 1;                   // counted from 1
};

// A window event: the message number and its two parameters.
struct Event {
  uint32_t message = 0;
  uintptr_t w_param = 0;
  intptr_t l_param = 0;
  uint32_t Message() const { return message; }
  uintptr_t wParam() const { return w_param; }
};

inline Event CommandEvent(uint16_t id, uint16_t notification = 0) {
  return Event{WM_COMMAND, (static_cast<uintptr_t>(notification) << 16) | id, 0};
}

// The backend's side of one dialog window and its controls, addressed by control id.
class WindowPeer {
 public:
  virtual ~WindowPeer() = default;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void Show() = 0;
  virtual void SetIcon(const ResourceID& icon, bool small) = 0;
  virtual void SetControlText(int id, const std::string& text) = 0;
  virtual void SetControlFont(int id, const Font& font) = 0;
  virtual void SetProgressRange(int id, int low, int high) = 0;
  virtual void SetProgressPosition(int id, int position) = 0;
  virtual bool OpenAnimation(int id, const ResourceID& clip) = 0;
  virtual void PlayAnimation(int id) = 0;
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // A modal message box owned by `owner` (may be null); returns the library's reply code.
  virtual int ShowMessageBox(Window* owner, const std::string& caption, const std::string& text,
                             uint32_t type) = 0;
  // Creates the dialog described by the template, not yet visible. The backend delivers the
  // user's actions on it to window.Dispatch while it processes events.
  virtual std::unique_ptr<WindowPeer> CreateDialog(Window& window,
                                                   const ResourceID& dialog_template,
                                                   bool modal) = 0;
  // A modal open-file dialog: the full paths chosen, in the dialog's order, or nothing when
  // the user cancelled. An interface without one (a command-line tool's) always cancels.
  virtual std::optional<std::vector<std::string>> ShowOpenDialog(const OpenDialogRequest&) {
    return std::nullopt;
  }
  // Runs every pending window event, then returns without waiting.
  virtual void ProcessPendingEvents() = 0;
  // The run-time's modal error box. `first` 1 offers the first choice (reply ERRORBOX_FIRST),
  // `retry` 2 offers the retry choice (ERRORBOX_RETRY); every other way of closing the box
  // returns another code. `flags` has bit 31 set; its low bits are 3 when a recovery point
  // exists, so ending the box breaks out rather than quits. The default shows the text in a
  // plain message box that offers no choice.
  virtual int ErrorMessageBox(const std::string& text, const std::string& caption,
                              uint32_t /*first*/, uint32_t /*retry*/, uint32_t /*flags*/) {
    ShowMessageBox(nullptr, caption, text, MB_ICONHAND | MB_OK);
    return ERRORBOX_QUIT;
  }
  // A tone of the given frequency (Hz) and duration (in 1/18 s); the default is silent.
  virtual void Tone(uint32_t /*frequency*/, uint32_t /*duration*/) {}
};

}  // namespace qef
