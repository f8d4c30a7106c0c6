#include "ui/window.h"

#include "runtime/runtime.h"
#include "runtime/runtime_state.h"

namespace qef {

// The module the program handed to its run-time at start-up; before that, the program itself.
ModuleInstance _GetInst() {
  return RuntimeInstalled() ? CurrentRuntime().state().module_instance : 0;
}

namespace {
UserInterface& Ui() { return CurrentRuntime().ui(); }
}  // namespace

Window::~Window() = default;

void Window::Caption(const std::string& text) {
  caption_ = text;
  if (peer_) peer_->SetCaption(text);
}

void Window::Icon(const qef::Icon& icon) {
  if (peer_) peer_->SetIcon(icon.Resource(), false);
}

void Window::IconSm(const qef::Icon& icon) {
  if (peer_) peer_->SetIcon(icon.Resource(), true);
}

void Window::Show() {
  visible_ = true;
  if (peer_) peer_->Show();
}

intptr_t Window::Dispatch(const Event& /*event*/) { return 0; }

bool Window::CallMethod(const Symbol& /*method*/) { return false; }

void Window::Attach(Window* owner, std::unique_ptr<WindowPeer> peer) {
  owner_ = owner;
  peer_ = std::move(peer);
}

void DialogWindow::Init(Window* owner, const ResourceID& dialog_template, bool modal) {
  Attach(owner, Ui().CreateDialog(*this, dialog_template, modal));
}

intptr_t DialogWindow::Dispatch(const Event& event) {
  if (event.Message() == WM_COMMAND) {
    auto id = static_cast<int>(event.wParam() & 0xFFFF);
    auto notification = (event.wParam() >> 16) & 0xFFFF;
    Control* control = ControlById(id);
    if (notification == 0 && control != nullptr && control->IsPushButton() &&
        !control->NameSym().empty()) {
      CallMethod(control->NameSym());
      return 1;
    }
  }
  return Window::Dispatch(event);
}

void DialogWindow::Bind(Control& control) { controls_[control.ControlID()] = &control; }

Control* DialogWindow::ControlById(int id) const {
  auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

Control::Control(DialogWindow* owner, const ResourceID& id) : owner_(owner), id_(id.Number()) {
  owner_->Bind(*this);
}

void TextControl::TextValue(const std::string& text) {
  text_ = text;
  if (peer()) peer()->SetControlText(ControlID(), text);
}

void TextControl::Font(const qef::Font& font, bool /*rescale*/) {
  if (peer()) peer()->SetControlFont(ControlID(), font);
}

void ProgressBar::Range(const qef::Range& range) {
  if (peer()) peer()->SetProgressRange(ControlID(), range.Min(), range.Max());
}

void ProgressBar::Position(int position) {
  position_ = position;
  if (peer()) peer()->SetProgressPosition(ControlID(), position);
}

bool AnimationControl::OpenResource(const ResourceID& clip) {
  return peer() != nullptr && peer()->OpenAnimation(ControlID(), clip);
}

void AnimationControl::Play() {
  if (peer()) peer()->PlayAnimation(ControlID());
}

int TextBox::Show() { return Ui().ShowMessageBox(owner_, caption_, text_, type_); }

bool OpenDialog::Show() {
  auto chosen = Ui().ShowOpenDialog(request_);
  chosen_ = chosen.value_or(std::vector<std::string>());
  return chosen.has_value() && !chosen_.empty();
}

std::variant<std::string, std::vector<std::string>> OpenDialog::FileName() const {
  if (chosen_.size() == 1) return chosen_[0];
  return chosen_;
}

void ApplicationExec(int /*mode*/) { Ui().ProcessPendingEvents(); }

int ErrorMessageBox(const std::string& text, const std::string& caption, uint32_t first,
                    uint32_t retry, uint32_t flags) {
  return Ui().ErrorMessageBox(text, caption, first, retry, flags);
}

void Tone(uint32_t frequency, uint32_t duration) { Ui().Tone(frequency, duration); }

}  // namespace qef
