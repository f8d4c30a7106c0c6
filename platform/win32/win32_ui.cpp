#include "platform/win32/win32_ui.h"

#include <algorithm>
#include <fstream>
#include <map>

#include "ui/window.h"

// Windows headers come last: their macros would rename the portable names above.
#include <windows.h>
// (the common controls' and dialogs' headers need windows.h before them)
#include <cderr.h>
#include <commctrl.h>
#include <commdlg.h>
#undef CreateDialog

namespace qef {

namespace {

// Resource names and numbers as the resource functions take them.
LPCSTR ResourceName(const ResourceID& id, std::string& storage) {
  if (id.IsNumber()) return MAKEINTRESOURCEA(id.Number());
  storage = id.Name();
  return storage.c_str();
}

HINSTANCE Module(const ResourceID& id) {
  return id.Instance() != 0 ? reinterpret_cast<HINSTANCE>(id.Instance())
                            : GetModuleHandleA(nullptr);
}

std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\r') {
      line += "\\r";
    } else if (c == '\n') {
      line += "\\n";
    } else {
      line += c;
    }
  }
  return line;
}

}  // namespace

class Win32WindowPeer : public WindowPeer {
 public:
  Win32WindowPeer(Win32Ui& ui, Window& window) : ui_(ui), window_(window) {
    ui_.dialogs_.push_back(this);
  }
  ~Win32WindowPeer() override {
    auto& dialogs = ui_.dialogs_;
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), this), dialogs.end());
    if (hwnd_ != nullptr) {
      // Messages sent while the window is destroyed must not reach a window object that is
      // going away.
      SetWindowLongPtrA(hwnd_, DWLP_USER, 0);
      DestroyWindow(hwnd_);
    }
    for (auto& [id, font] : fonts_) DeleteObject(font);
  }

  static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM w_param, LPARAM l_param) {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrA(hwnd, DWLP_USER, l_param);
      reinterpret_cast<Win32WindowPeer*>(l_param)->hwnd_ = hwnd;
    }
    auto* peer = reinterpret_cast<Win32WindowPeer*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (peer == nullptr) return FALSE;
    peer->window_.Dispatch(Event{message, w_param, l_param});
    // Commands are the window's own business: the dialog manager must not end the dialog on
    // Cancel, since the window stays in use to the end.
    return message == WM_COMMAND || message == WM_INITDIALOG ? TRUE : FALSE;
  }

  void Create(const ResourceID& dialog_template) {
    std::string name;
    CreateDialogParamA(Module(dialog_template), ResourceName(dialog_template, name),
                       ParentOf(window_.Owner()), Procedure, reinterpret_cast<LPARAM>(this));
  }

  void SetCaption(const std::string& text) override { SetWindowTextA(hwnd_, text.c_str()); }
  void Show() override { ShowWindow(hwnd_, SW_SHOW); }

  void SetIcon(const ResourceID& icon, bool small) override {
    std::string name;
    int size = GetSystemMetrics(small ? SM_CXSMICON : SM_CXICON);
    HANDLE image = LoadImageA(Module(icon), ResourceName(icon, name), IMAGE_ICON, size, size, 0);
    if (image != nullptr) {
      SendMessageA(hwnd_, WM_SETICON, small ? ICON_SMALL : ICON_BIG,
                   reinterpret_cast<LPARAM>(image));
    }
  }

  void SetControlText(int id, const std::string& text) override {
    ui_.Trace("Text " + std::to_string(id) + "=" + OneLine(text));
    SetDlgItemTextA(hwnd_, id, text.c_str());
  }

  void SetControlFont(int id, const Font& font) override {
    HDC screen = GetDC(hwnd_);
    LOGFONTA description = {};
    description.lfHeight = -MulDiv(font.PointSize(), GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(hwnd_, screen);
    description.lfWeight = font.Bold() ? FW_BOLD : FW_NORMAL;
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfPitchAndFamily = static_cast<BYTE>(font.Family());
    lstrcpynA(description.lfFaceName, font.FaceName().c_str(), LF_FACESIZE);
    HFONT handle = CreateFontIndirectA(&description);
    if (fonts_.count(id)) DeleteObject(fonts_[id]);
    fonts_[id] = handle;
    SendDlgItemMessageA(hwnd_, id, WM_SETFONT, reinterpret_cast<WPARAM>(handle), TRUE);
  }

  void SetProgressRange(int id, int low, int high) override {
    SendDlgItemMessageA(hwnd_, id, PBM_SETRANGE32, static_cast<WPARAM>(low),
                        static_cast<LPARAM>(high));
  }

  void SetProgressPosition(int id, int position) override {
    // Once per record: the control hears only of changes.
    auto known = positions_.find(id);
    if (known != positions_.end() && known->second == position) return;
    positions_[id] = position;
    SendDlgItemMessageA(hwnd_, id, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  }

  bool OpenAnimation(int id, const ResourceID& clip) override {
    std::string name;
    return SendDlgItemMessageA(hwnd_, id, ACM_OPENA, reinterpret_cast<WPARAM>(Module(clip)),
                               reinterpret_cast<LPARAM>(ResourceName(clip, name))) != 0;
  }

  void PlayAnimation(int id) override {
    SendDlgItemMessageA(hwnd_, id, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 0xFFFF));
  }

  HWND hwnd() const { return hwnd_; }

  static HWND ParentOf(const Window* window) {
    if (window == nullptr || window->peer() == nullptr) return nullptr;
    return static_cast<Win32WindowPeer*>(window->peer())->hwnd_;
  }

 private:
  Win32Ui& ui_;
  Window& window_;
  HWND hwnd_ = nullptr;
  std::map<int, HFONT> fonts_;
  std::map<int, int> positions_;
};

Win32Ui::Win32Ui(std::string trace_path) : trace_path_(std::move(trace_path)) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_ANIMATE_CLASS};
  InitCommonControlsEx(&controls);
}

void Win32Ui::Trace(const std::string& line) const {
  if (trace_path_.empty()) return;
  std::ofstream(trace_path_, std::ios::app | std::ios::binary) << line << "\n";
}

int BoxReplyFor(int windows_result) { return windows_result == IDOK ? BOXREPLYOK : BOXREPLYCANCEL; }

int Win32Ui::ShowMessageBox(Window* owner, const std::string& caption, const std::string& text,
                            uint32_t type) {
  Trace("Box " + OneLine(caption) + ": " + OneLine(text));
  int result = MessageBoxA(Win32WindowPeer::ParentOf(owner), text.c_str(), caption.c_str(), type);
  Trace("Reply " + std::to_string(BoxReplyFor(result)));
  return BoxReplyFor(result);
}

uint32_t ErrorBoxButtons(uint32_t first, uint32_t retry) {
  bool offers_first = first == 1;
  bool offers_retry = retry == 2;
  if (offers_first && offers_retry) return MB_ABORTRETRYIGNORE;  // Ignore, Retry, Abort
  if (offers_retry) return MB_RETRYCANCEL;
  if (offers_first) return MB_OKCANCEL;
  return MB_OK;
}

int ErrorBoxReplyFor(uint32_t buttons, int windows_result) {
  switch (windows_result) {
    case IDIGNORE:
      return ERRORBOX_FIRST;
    case IDOK:
      return buttons == MB_OKCANCEL ? ERRORBOX_FIRST : ERRORBOX_QUIT;
    case IDRETRY:
      return ERRORBOX_RETRY;
    default:
      return ERRORBOX_QUIT;
  }
}

int Win32Ui::ErrorMessageBox(const std::string& text, const std::string& caption, uint32_t first,
                             uint32_t retry, uint32_t /*flags*/) {
  Trace("ErrorBox " + OneLine(caption) + ": " + OneLine(text));
  uint32_t buttons = ErrorBoxButtons(first, retry);
  HWND owner = dialogs_.empty() ? nullptr : dialogs_.front()->hwnd();
  int reply = ErrorBoxReplyFor(
      buttons, MessageBoxA(owner, text.c_str(), caption.c_str(), buttons | MB_ICONHAND));
  Trace("ErrorReply " + std::to_string(reply));
  return reply;
}

void Win32Ui::Tone(uint32_t frequency, uint32_t duration) {
  // The duration counts eighteenths of a second.
  Beep(frequency, duration * 1000 / 18);
}

std::unique_ptr<WindowPeer> Win32Ui::CreateDialog(Window& window, const ResourceID& dialog_template,
                                                  bool /*modal*/) {
  auto peer = std::make_unique<Win32WindowPeer>(*this, window);
  peer->Create(dialog_template);
  return peer;
}

std::vector<std::string> OpenDialogPaths(const char* buffer, bool several) {
  std::vector<std::string> paths;
  std::string first = buffer;
  if (first.empty()) return paths;
  const char* next = buffer + first.size() + 1;
  if (!several || *next == '\0') {
    paths.push_back(first);
    return paths;
  }
  std::string folder = first;
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
  for (; *next != '\0'; next += std::string(next).size() + 1) paths.push_back(folder + next);
  return paths;
}

std::optional<std::vector<std::string>> Win32Ui::ShowOpenDialog(const OpenDialogRequest& request) {
  Trace("OpenDialog " + request.caption);
  std::string filter;
  for (size_t i = 0; i < request.patterns.size() && i < request.descriptions.size(); ++i) {
    filter += request.descriptions[i] + '\0' + request.patterns[i] + '\0';
  }
  filter += '\0';
  // Room for hundreds of chosen files; a larger choice is asked for again with the size the
  // dialog reports.
  std::vector<char> file(64 * 1024, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    lstrcpynA(file.data(), request.initial_file_name.c_str(), static_cast<int>(file.size()));
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Win32WindowPeer::ParentOf(request.owner);
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(request.filter_index);
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = request.caption.c_str();
    dialog.Flags = OFN_EXPLORER | request.options;
    if (GetOpenFileNameA(&dialog)) {
      auto paths = OpenDialogPaths(file.data(), (request.options & OFN_ALLOWMULTISELECT) != 0);
      for (const auto& path : paths) Trace("Chosen " + path);
      return paths;
    }
    if (CommDlgExtendedError() != FNERR_BUFFERTOOSMALL) break;
    auto needed = static_cast<size_t>(static_cast<unsigned char>(file[0]) |
                                      static_cast<unsigned char>(file[1]) << 8);
    file.assign(std::max(needed + 1, file.size() * 4), '\0');
  }
  Trace("Cancelled");
  return std::nullopt;
}

void Win32Ui::ProcessPendingEvents() {
  // Called once per record: looking at the queue is a system call each time (under Wine a
  // round trip to its server), which made a file of millions of small records take minutes.
  // The queue is looked at once the system tick has moved on, so every event is still served,
  // at most one tick (10 to 16 ms) later.
  ULONGLONG now = GetTickCount64();
  if (pumped_ && now - last_pump_ < 10) return;
  pumped_ = true;
  last_pump_ = now;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    bool handled = false;
    for (Win32WindowPeer* dialog : dialogs_) {
      // Turns Escape into the dialog's cancel command, as the dialog manager does.
      if (dialog->hwnd() != nullptr && IsDialogMessageA(dialog->hwnd(), &message)) {
        handled = true;
        break;
      }
    }
    if (!handled) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

}  // namespace qef
