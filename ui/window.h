#pragma once

// The window class library: portable classes that keep a window's state and reach the screen
// only through the installed backend's WindowPeer.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "runtime/object.h"
#include "runtime/symbol.h"
#include "ui/user_interface.h"

namespace qef {

using ModuleInstance = uintptr_t;

// The program's own module, the place its resources are looked up in.
ModuleInstance _GetInst();

// Names a resource of a module by text or by number.
class ResourceID {
 public:
  ResourceID(std::string name, ModuleInstance instance = _GetInst())
      : id_(std::move(name)), instance_(instance) {}
  ResourceID(const char* name, ModuleInstance instance = _GetInst())
      : ResourceID(std::string(name), instance) {}
  ResourceID(int number, ModuleInstance instance = _GetInst()) : id_(number), instance_(instance) {}

  bool IsNumber() const { return std::holds_alternative<int>(id_); }
  int Number() const { return IsNumber() ? std::get<int>(id_) : 0; }
  std::string Name() const { return IsNumber() ? std::string() : std::get<std::string>(id_); }
  ModuleInstance Instance() const { return instance_; }

 private:
  std::variant<std::string, int> id_;
  ModuleInstance instance_;
};

class HyperLabel {
 public:
  HyperLabel() = default;
  HyperLabel(Symbol name, std::string caption = {}, std::string description = {},
             std::string help_context = {})
      : name_sym_(std::move(name)),
        caption_(std::move(caption)),
        description_(std::move(description)),
        help_context_(std::move(help_context)) {}
  const Symbol& NameSym() const { return name_sym_; }
  const std::string& Caption() const { return caption_; }
  const std::string& Description() const { return description_; }
  const std::string& HelpContext() const { return help_context_; }

 private:
  Symbol name_sym_;
  std::string caption_;
  std::string description_;
  std::string help_context_;
};

class Font {
 public:
  // family 0 leaves the family to the face name.
  Font(int family, int point_size, std::string face_name)
      : family_(family), point_size_(point_size), face_name_(std::move(face_name)) {}
  void Bold(bool bold) { bold_ = bold; }
  bool Bold() const { return bold_; }
  int Family() const { return family_; }
  int PointSize() const { return point_size_; }
  const std::string& FaceName() const { return face_name_; }

 private:
  int family_;
  int point_size_;
  std::string face_name_;
  bool bold_ = false;
};

class Range {
 public:
  Range(int min, int max) : min_(min), max_(max) {}
  int Min() const { return min_; }
  int Max() const { return max_; }

 private:
  int min_;
  int max_;
};

class Icon : public Object {
 public:
  explicit Icon(ResourceID resource) : resource_(std::move(resource)) {}
  const ResourceID& Resource() const { return resource_; }

 private:
  ResourceID resource_;
};

class Window : public Object {
 public:
  explicit Window(Window* owner = nullptr) : owner_(owner) {}
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  Window* Owner() const { return owner_; }
  void Caption(const std::string& text);
  const std::string& Caption() const { return caption_; }
  void HyperLabel(const qef::HyperLabel& label) { hyper_label_ = label; }
  const qef::HyperLabel& HyperLabel() const { return hyper_label_; }
  void Icon(const qef::Icon& icon);
  void IconSm(const qef::Icon& icon);
  // Makes the window visible and returns at once.
  void Show();
  bool IsVisible() const { return visible_; }

  // Handles one event; the base does nothing with it.
  virtual intptr_t Dispatch(const Event& event);
  // Calls the method of this window that bears the given name; false when there is none.
  virtual bool CallMethod(const Symbol& method);

  WindowPeer* peer() const { return peer_.get(); }

 protected:
  void Attach(Window* owner, std::unique_ptr<WindowPeer> peer);

 private:
  Window* owner_;
  std::unique_ptr<WindowPeer> peer_;
  std::string caption_;
  qef::HyperLabel hyper_label_;
  bool visible_ = false;
};

class Control;

class DialogWindow : public Window {
 public:
  DialogWindow() = default;
  // Creates the dialog from its template, not yet visible; modal false makes it modeless.
  void Init(Window* owner, const ResourceID& dialog_template, bool modal);

  // A command from a push button calls the window method named by the button's HyperLabel.
  intptr_t Dispatch(const Event& event) override;

  void Bind(Control& control);
  Control* ControlById(int id) const;

 private:
  std::map<int, Control*> controls_;
};

class Control {
 public:
  Control(DialogWindow* owner, const ResourceID& id);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  int ControlID() const { return id_; }
  DialogWindow* Owner() const { return owner_; }
  void HyperLabel(const qef::HyperLabel& label) { hyper_label_ = label; }
  const qef::HyperLabel& HyperLabel() const { return hyper_label_; }
  const Symbol& NameSym() const { return hyper_label_.NameSym(); }
  virtual bool IsPushButton() const { return false; }

 protected:
  WindowPeer* peer() const { return owner_->peer(); }

 private:
  DialogWindow* owner_;
  int id_;
  qef::HyperLabel hyper_label_;
};

class TextControl : public Control {
 public:
  using Control::Control;
  void TextValue(const std::string& text);
  const std::string& TextValue() const { return text_; }
  // Draws the control's text in the font; the second argument (rescaling) is not used.
  void Font(const qef::Font& font, bool rescale = false);

 private:
  std::string text_;
};

class FixedText : public TextControl {
 public:
  using TextControl::TextControl;
};

class Button : public TextControl {
 public:
  using TextControl::TextControl;
};

class PushButton : public Button {
 public:
  using Button::Button;
  bool IsPushButton() const override { return true; }
};

class ProgressBar : public Control {
 public:
  using Control::Control;
  void Range(const qef::Range& range);
  void Position(int position);
  int Position() const { return position_; }

 private:
  int position_ = 0;
};

class AnimationControl : public Control {
 public:
  using Control::Control;
  bool OpenResource(const ResourceID& clip);
  void Play();
};

// A modal message box.
class TextBox {
 public:
  TextBox(Window* owner, std::string caption, std::string text, uint32_t type = MB_OK)
      : owner_(owner), caption_(std::move(caption)), text_(std::move(text)), type_(type) {}
  virtual ~TextBox() = default;
  // Blocks until the user answers; returns the reply code (BOXREPLYOK for OK).
  int Show();
  uint32_t Type() const { return type_; }

 private:
  Window* owner_;
  std::string caption_;
  std::string text_;
  uint32_t type_;
};

class WarningBox : public TextBox {
 public:
  WarningBox(Window* owner, std::string caption, std::string text)
      : TextBox(owner, std::move(caption), std::move(text), MB_ICONEXCLAMATION | MB_OK) {}
};

class InfoBox : public TextBox {
 public:
  InfoBox(Window* owner, std::string caption, std::string text)
      : TextBox(owner, std::move(caption), std::move(text), MB_ICONINFORMATION | MB_OK) {}
};

// The modal open-file dialog of the window library.
class OpenDialog {
 public:
  OpenDialog(Window* owner, std::string initial_file_name) {
    request_.owner = owner;
    request_.initial_file_name = std::move(initial_file_name);
  }
  void Caption(const std::string& text) { request_.caption = text; }
  // Switches one open-file option on.
  void SetStyle(uint32_t option) { request_.options |= option; }
  void SetFilter(std::vector<std::string> patterns, std::vector<std::string> descriptions,
                 int index) {
    request_.patterns = std::move(patterns);
    request_.descriptions = std::move(descriptions);
    request_.filter_index = index;
  }
  // Blocks until the user confirms or cancels; true when files were chosen.
  bool Show();
  // One path when one file was chosen, else the array of paths in the dialog's order.
  std::variant<std::string, std::vector<std::string>> FileName() const;
  const OpenDialogRequest& Request() const { return request_; }

 private:
  OpenDialogRequest request_;
  std::vector<std::string> chosen_;
};

// With mode 1, runs every pending window event and returns at once.
void ApplicationExec(int mode);

// The run-time's own error box and tone, shown through the installed user interface.
int ErrorMessageBox(const std::string& text, const std::string& caption, uint32_t first,
                    uint32_t retry, uint32_t flags);
void Tone(uint32_t frequency, uint32_t duration);

}  // namespace qef
