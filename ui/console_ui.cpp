#include "ui/console_ui.h"

#include <algorithm>
#include <string>

#include "ui/progress_window_ids.h"
#include "ui/window.h"

namespace qef {

class ConsoleWindowPeer : public WindowPeer {
 public:
  ConsoleWindowPeer(ConsoleUi& ui, Window& window) : ui_(ui), window_(window) {
    ui_.dialogs_.push_back(this);
  }
  ~ConsoleWindowPeer() override {
    ui_.ClearStatus();
    auto& dialogs = ui_.dialogs_;
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), this), dialogs.end());
  }

  void SetCaption(const std::string&) override {}
  void Show() override {}
  void SetIcon(const ResourceID&, bool) override {}
  void SetControlFont(int, const Font&) override {}
  bool OpenAnimation(int, const ResourceID&) override { return true; }
  void PlayAnimation(int) override {}

  void SetControlText(int id, const std::string& text) override {
    if (id == kDescriptionId) description_ = DisplayText(text, ui_.encoding_);
    if (id != kTaskId) return;
    task_ = DisplayText(text, ui_.encoding_);
    position_ = 0;
    if (ui_.live_) {
      Draw();
    } else if (!task_.empty()) {
      std::fprintf(ui_.out_, "%s: %s\n", task_.c_str(), description_.c_str());
      std::fflush(ui_.out_);
    }
  }

  void SetProgressRange(int, int, int high) override { high_ = high; }

  void SetProgressPosition(int, int position) override {
    if (position == position_) return;
    position_ = position;
    if (ui_.live_) Draw();
  }

  Window& window() { return window_; }

 private:
  void Draw() {
    static constexpr char kSpinner[] = "|/-\\";
    int percent = std::clamp(position_ * 100 / std::max(high_, 1), 0, 100);
    std::fprintf(ui_.out_, "\r\x1b[K%c %s %3d%%", kSpinner[frame_++ % 4], task_.c_str(), percent);
    std::fflush(ui_.out_);
    ui_.status_shown_ = true;
  }

  ConsoleUi& ui_;
  Window& window_;
  std::string task_;
  std::string description_;
  int high_ = 100;
  int position_ = 0;
  unsigned frame_ = 0;
};

int ConsoleUi::ShowMessageBox(Window*, const std::string&, const std::string& text, uint32_t) {
  ClearStatus();
  const std::string shown = DisplayText(text, encoding_, true);
  std::fwrite(shown.data(), 1, shown.size(), out_);
  std::fputc('\n', out_);
  std::fflush(out_);
  return BOXREPLYOK;
}

int ConsoleUi::ErrorMessageBox(const std::string& text, const std::string& caption, uint32_t,
                               uint32_t, uint32_t) {
  ClearStatus();
  const std::string shown = DisplayText(text, encoding_, true);
  std::string plain;
  for (size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] == '\r' && i + 1 < shown.size() && shown[i + 1] == '\n') continue;
    plain += shown[i];
  }
  while (!plain.empty() && plain.back() == '\n') plain.pop_back();
  std::fprintf(out_, "%s\n%s\n", DisplayText(caption, encoding_).c_str(), plain.c_str());
  std::fflush(out_);
  return ERRORBOX_QUIT;
}

void ConsoleUi::Tone(uint32_t, uint32_t) {
  if (!live_) return;
  std::fputc('\a', out_);
  std::fflush(out_);
}

std::unique_ptr<WindowPeer> ConsoleUi::CreateDialog(Window& window, const ResourceID&, bool) {
  return std::make_unique<ConsoleWindowPeer>(*this, window);
}

void ConsoleUi::ProcessPendingEvents() {
  if (interrupted_ == nullptr || *interrupted_ == 0) return;
  *interrupted_ = 0;
  std::vector<ConsoleWindowPeer*> dialogs = dialogs_;
  for (ConsoleWindowPeer* dialog : dialogs) dialog->window().Dispatch(CommandEvent(IDCANCEL));
}

void ConsoleUi::ClearStatus() {
  if (!status_shown_) return;
  std::fputs("\r\x1b[K", out_);
  std::fflush(out_);
  status_shown_ = false;
}

}  // namespace qef
