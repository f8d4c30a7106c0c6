#include "platform/headless/headless_ui.h"

#include <algorithm>

namespace qef {

namespace {
std::string ResourceText(const ResourceID& resource) {
  return resource.IsNumber() ? std::to_string(resource.Number()) : resource.Name();
}
}  // namespace

HeadlessWindowPeer::~HeadlessWindowPeer() {
  auto& dialogs = ui_.dialogs_;
  dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), this), dialogs.end());
}

void HeadlessWindowPeer::Log(const std::string& line) {
  if (ui_.logging) ui_.log.push_back(line);
}

void HeadlessWindowPeer::SetCaption(const std::string& text) {
  caption_ = text;
  Log("Caption=" + text);
}

void HeadlessWindowPeer::Show() {
  visible_ = true;
  Log("Show");
}

void HeadlessWindowPeer::SetIcon(const ResourceID& icon, bool small) {
  (small ? small_icon_ : large_icon_) = ResourceText(icon);
  Log(std::string(small ? "IconSm=" : "Icon=") + ResourceText(icon));
}

void HeadlessWindowPeer::SetControlText(int id, const std::string& text) {
  texts_[id] = text;
  Log("Text " + std::to_string(id) + "=" + text);
}

void HeadlessWindowPeer::SetControlFont(int id, const Font& font) {
  fonts_[id] =
      font.FaceName() + " " + std::to_string(font.PointSize()) + (font.Bold() ? " bold" : "");
  Log("Font " + std::to_string(id) + "=" + fonts_[id]);
}

void HeadlessWindowPeer::SetProgressRange(int id, int low, int high) {
  Log("Range " + std::to_string(id) + "=" + std::to_string(low) + ".." + std::to_string(high));
}

void HeadlessWindowPeer::SetProgressPosition(int id, int position) {
  if (!ui_.logging) return;  // called once per record: keep long runs cheap
  Log("Position " + std::to_string(id) + "=" + std::to_string(position));
}

bool HeadlessWindowPeer::OpenAnimation(int id, const ResourceID& clip) {
  clips_[id] = ResourceText(clip);
  Log("OpenAnimation " + std::to_string(id) + "=" + clips_[id]);
  return true;
}

void HeadlessWindowPeer::PlayAnimation(int id) {
  playing_[id] = true;
  Log("Play " + std::to_string(id));
}

std::string HeadlessWindowPeer::text(int id) const {
  auto found = texts_.find(id);
  return found == texts_.end() ? std::string() : found->second;
}

std::string HeadlessWindowPeer::font(int id) const {
  auto found = fonts_.find(id);
  return found == fonts_.end() ? std::string() : found->second;
}

std::string HeadlessWindowPeer::animation(int id) const {
  auto found = clips_.find(id);
  return found == clips_.end() ? std::string() : found->second;
}

bool HeadlessWindowPeer::playing(int id) const {
  auto found = playing_.find(id);
  return found != playing_.end() && found->second;
}

int HeadlessUi::ShowMessageBox(Window* owner, const std::string& caption, const std::string& text,
                               uint32_t type) {
  boxes.push_back({owner, caption, text, type});
  if (logging) log.push_back("Box " + caption + ": " + text);
  if (replies_.empty()) return BOXREPLYOK;
  int reply = replies_.front();
  replies_.pop_front();
  return reply;
}

int HeadlessUi::ErrorMessageBox(const std::string& text, const std::string& caption, uint32_t first,
                                uint32_t retry, uint32_t flags) {
  error_boxes.push_back({text, caption, first, retry, flags});
  if (logging) log.push_back("ErrorBox " + caption + ": " + text);
  if (error_replies_.empty()) return ERRORBOX_QUIT;
  int reply = error_replies_.front();
  error_replies_.pop_front();
  return reply;
}

std::optional<std::vector<std::string>> HeadlessUi::ShowOpenDialog(
    const OpenDialogRequest& request) {
  open_dialogs.push_back(request);
  if (logging) log.push_back("OpenDialog " + request.caption);
  std::optional<std::vector<std::string>> answer;
  if (!file_answers_.empty()) {
    answer = std::move(file_answers_.front());
    file_answers_.pop_front();
  }
  return answer;
}

std::unique_ptr<WindowPeer> HeadlessUi::CreateDialog(Window& window,
                                                     const ResourceID& dialog_template,
                                                     bool modal) {
  auto peer =
      std::make_unique<HeadlessWindowPeer>(*this, window, ResourceText(dialog_template), modal);
  dialogs_.push_back(peer.get());
  if (logging) log.push_back("CreateDialog " + ResourceText(dialog_template));
  return peer;
}

void HeadlessUi::ProcessPendingEvents() {
  ++exec_calls;
  if (logging) log.push_back("Exec");
  if (scheduled_.empty()) return;  // called once per record: keep long runs cheap
  auto [first, last] = scheduled_.equal_range(exec_calls);
  std::vector<Event> due;
  for (auto it = first; it != last; ++it) due.push_back(it->second);
  scheduled_.erase(first, last);
  for (const Event& event : due) {
    if (HeadlessWindowPeer* dialog = NewestDialog()) dialog->window().Dispatch(event);
  }
}

}  // namespace qef
