#include "cli/quiet_ui.h"

namespace qef {

namespace {

// Keeps the wrapped interface's peer alive, so the dialog stays known to it, and shows nothing.
class QuietPeer : public WindowPeer {
 public:
  explicit QuietPeer(std::unique_ptr<WindowPeer> peer) : peer_(std::move(peer)) {}
  void SetCaption(const std::string&) override {}
  void Show() override {}
  void SetIcon(const ResourceID&, bool) override {}
  void SetControlText(int, const std::string&) override {}
  void SetControlFont(int, const Font&) override {}
  void SetProgressRange(int, int, int) override {}
  void SetProgressPosition(int, int) override {}
  bool OpenAnimation(int, const ResourceID&) override { return true; }
  void PlayAnimation(int) override {}

 private:
  std::unique_ptr<WindowPeer> peer_;
};

}  // namespace

std::unique_ptr<WindowPeer> QuietDialogsUi::CreateDialog(Window& window,
                                                         const ResourceID& dialog_template,
                                                         bool modal) {
  return std::make_unique<QuietPeer>(ui_.CreateDialog(window, dialog_template, modal));
}

}  // namespace qef
