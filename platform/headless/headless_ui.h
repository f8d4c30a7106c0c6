#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "ui/user_interface.h"
#include "ui/window.h"

namespace qef {

class HeadlessUi;

// The state a dialog would show on screen, kept for tests to read.
class HeadlessWindowPeer : public WindowPeer {
 public:
  HeadlessWindowPeer(HeadlessUi& ui, Window& window, std::string template_name, bool modal)
      : ui_(ui), window_(window), template_name_(std::move(template_name)), modal_(modal) {}
  ~HeadlessWindowPeer() override;

  void SetCaption(const std::string& text) override;
  void Show() override;
  void SetIcon(const ResourceID& icon, bool small) override;
  void SetControlText(int id, const std::string& text) override;
  void SetControlFont(int id, const Font& font) override;
  void SetProgressRange(int id, int low, int high) override;
  void SetProgressPosition(int id, int position) override;
  bool OpenAnimation(int id, const ResourceID& clip) override;
  void PlayAnimation(int id) override;

  Window& window() { return window_; }
  const std::string& template_name() const { return template_name_; }
  bool modal() const { return modal_; }
  const std::string& caption() const { return caption_; }
  bool visible() const { return visible_; }
  std::string text(int id) const;
  const std::string& large_icon() const { return large_icon_; }
  const std::string& small_icon() const { return small_icon_; }
  std::string font(int id) const;       // "MS Sans Serif 10 bold", empty for the template font
  std::string animation(int id) const;  // the clip's name; empty when none is open
  bool playing(int id) const;

 private:
  void Log(const std::string& line);

  HeadlessUi& ui_;
  Window& window_;
  std::string template_name_;
  bool modal_;
  std::string caption_;
  bool visible_ = false;
  std::string large_icon_;
  std::string small_icon_;
  std::map<int, std::string> texts_;
  std::map<int, std::string> fonts_;
  std::map<int, std::string> clips_;
  std::map<int, bool> playing_;
};

// A user interface without a screen: boxes answer from a script, events are injected at chosen
// calls of ProcessPendingEvents, and everything the program asked is written to a log.
class HeadlessUi : public UserInterface {
 public:
  struct BoxCall {
    Window* owner;
    std::string caption;
    std::string text;
    uint32_t type;
  };

  int ShowMessageBox(Window* owner, const std::string& caption, const std::string& text,
                     uint32_t type) override;
  std::unique_ptr<WindowPeer> CreateDialog(Window& window, const ResourceID& dialog_template,
                                           bool modal) override;
  std::optional<std::vector<std::string>> ShowOpenDialog(const OpenDialogRequest& request) override;
  void ProcessPendingEvents() override;

  struct ErrorBoxCall {
    std::string text;
    std::string caption;
    uint32_t first;
    uint32_t retry;
    uint32_t flags;
  };
  // Answers from QueueErrorReply; without one the box is closed (ERRORBOX_QUIT).
  int ErrorMessageBox(const std::string& text, const std::string& caption, uint32_t first,
                      uint32_t retry, uint32_t flags) override;
  void Tone(uint32_t frequency, uint32_t duration) override {
    tones.emplace_back(frequency, duration);
  }
  void QueueErrorReply(int reply) { error_replies_.push_back(reply); }

  // Delivers the event to the newest dialog during the n-th call of ProcessPendingEvents
  // (counted from 1).
  void ScheduleEvent(long call, Event event) { scheduled_.emplace(call, event); }
  // Replies for the next boxes, in order; a box without a scripted reply answers OK.
  void QueueReply(int reply) { replies_.push_back(reply); }
  // The answer of the next open dialogs, in order: the paths chosen, or nothing for Cancel.
  // A dialog without a scripted answer is cancelled.
  void QueueFiles(std::optional<std::vector<std::string>> files) {
    file_answers_.push_back(std::move(files));
  }

  HeadlessWindowPeer* NewestDialog() const { return dialogs_.empty() ? nullptr : dialogs_.back(); }

  std::vector<BoxCall> boxes;
  std::vector<ErrorBoxCall> error_boxes;
  std::vector<std::pair<uint32_t, uint32_t>> tones;  // frequency, duration
  std::vector<OpenDialogRequest> open_dialogs;
  // One line per thing shown, in order: "Caption=...", "Show", "Text 103=...", "Range 101=1..100",
  // "Position 101=0", "Exec" ...
  std::vector<std::string> log;
  // Off for long runs: the log then records nothing but boxes stay recorded.
  bool logging = true;
  long exec_calls = 0;

 private:
  friend class HeadlessWindowPeer;
  std::vector<HeadlessWindowPeer*> dialogs_;
  std::multimap<long, Event> scheduled_;
  std::deque<int> replies_;
  std::deque<int> error_replies_;
  std::deque<std::optional<std::vector<std::string>>> file_answers_;
};

}  // namespace qef
