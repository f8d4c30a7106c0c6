#include "ui/file_picker.h"

#include <algorithm>

#include "runtime/wildcard.h"

namespace qef {

namespace {

bool HasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

std::string Lower(std::string text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return text;
}

}  // namespace

std::string ParentFolder(const std::string& folder) {
  size_t slash = folder.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return folder.substr(0, slash);
}

std::string NormalSlashPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const auto& part : parts) result += "/" + part;
  return result.empty() ? "/" : result;
}

std::string ResolvePath(const std::string& folder, const std::string& path) {
  return NormalSlashPath(!path.empty() && path[0] == '/' ? path : folder + "/" + path);
}

FilePicker::FilePicker(const OpenDialogRequest& request, std::string folder, FolderLister lister)
    : request_(request), lister_(std::move(lister)) {
  if (request_.filter_index >= 1 &&
      static_cast<size_t>(request_.filter_index) <= request_.patterns.size()) {
    filter_ = static_cast<size_t>(request_.filter_index) - 1;
  }
  pattern_ = request_.patterns.empty() ? "*.*" : request_.patterns[filter_];
  field_ = request_.initial_file_name;
  if (HasWildcard(field_)) pattern_ = field_;
  Open(folder);
}

void FilePicker::Open(const std::string& folder) {
  if (!lister_(folder)) {
    message_ = "Cannot read the folder " + folder;
    return;
  }
  folder_ = folder;
  cursor_ = 0;
  message_.clear();
  Refresh();
}

void FilePicker::Refresh() {
  entries_.clear();
  if (folder_ != "/") entries_.push_back({"..", true});
  auto listed = lister_(folder_).value_or(std::vector<PickerEntry>());
  std::vector<PickerEntry> folders, files;
  for (auto& entry : listed) {
    if (entry.name == "." || entry.name == "..") continue;
    if (entry.is_directory) {
      folders.push_back(std::move(entry));
    } else if (MatchesAnyPattern(pattern_, entry.name)) {
      files.push_back(std::move(entry));
    }
  }
  auto by_name = [](const PickerEntry& a, const PickerEntry& b) {
    return Lower(a.name) < Lower(b.name);
  };
  std::sort(folders.begin(), folders.end(), by_name);
  std::sort(files.begin(), files.end(), by_name);
  entries_.insert(entries_.end(), folders.begin(), folders.end());
  entries_.insert(entries_.end(), files.begin(), files.end());
  cursor_ = std::min(cursor_, entries_.empty() ? 0 : entries_.size() - 1);
}

std::string FilePicker::PathOf(const std::string& name) const {
  return folder_ == "/" ? "/" + name : folder_ + "/" + name;
}

bool FilePicker::IsChosen(const std::string& name) const {
  return std::find(chosen_.begin(), chosen_.end(), PathOf(name)) != chosen_.end();
}

void FilePicker::Move(long delta) {
  if (entries_.empty()) return;
  long target = static_cast<long>(cursor_) + delta;
  cursor_ = static_cast<size_t>(std::clamp(target, 0L, static_cast<long>(entries_.size()) - 1));
}

void FilePicker::Toggle() {
  if (entries_.empty() || entries_[cursor_].is_directory) return;
  std::string path = PathOf(entries_[cursor_].name);
  auto found = std::find(chosen_.begin(), chosen_.end(), path);
  if (found != chosen_.end()) {
    chosen_.erase(found);
  } else {
    if (!AllowsSeveral()) chosen_.clear();
    chosen_.push_back(path);
  }
  Move(1);
}

FilePicker::State FilePicker::Confirm() {
  if (!entries_.empty() && entries_[cursor_].is_directory) {
    const std::string& name = entries_[cursor_].name;
    Open(name == ".." ? ParentFolder(folder_) : PathOf(name));
    return State::kOpen;
  }
  if (chosen_.empty() && !entries_.empty()) chosen_.push_back(PathOf(entries_[cursor_].name));
  if (chosen_.empty()) {
    message_ = "No file here matches " + pattern_;
    return State::kOpen;
  }
  return State::kConfirmed;
}

// The file-name field as the Windows dialog reads it: a pattern sets the file type shown, a
// folder opens, a file is chosen.
FilePicker::State FilePicker::ApplyField() {
  editing_ = false;
  if (field_.empty()) return State::kOpen;
  std::string path = ResolvePath(folder_, field_);
  if (HasWildcard(field_)) {
    std::string folder = ParentFolder(path);
    pattern_ = path.substr(folder.size() == 1 ? 1 : folder.size() + 1);
    field_ = pattern_;
    if (folder != folder_) {
      Open(folder);
    } else {
      Refresh();
    }
    return State::kOpen;
  }
  if (lister_(path)) {
    Open(path);
    field_ = pattern_;
    return State::kOpen;
  }
  chosen_ = {path};
  return State::kConfirmed;
}

FilePicker::State FilePicker::HandleKey(const Key& key) {
  if (key.code == Key::kInterrupt) return State::kCancelled;
  if (editing_) {
    switch (key.code) {
      case Key::kChar:
        field_ += key.ch;
        break;
      case Key::kBackspace:
        if (!field_.empty()) field_.pop_back();
        break;
      case Key::kEnter:
        return ApplyField();
      case Key::kEscape:
        editing_ = false;
        break;
      default:
        break;
    }
    return State::kOpen;
  }
  message_.clear();
  switch (key.code) {
    case Key::kUp:
      Move(-1);
      break;
    case Key::kDown:
      Move(1);
      break;
    case Key::kPageUp:
      Move(-10);
      break;
    case Key::kPageDown:
      Move(10);
      break;
    case Key::kHome:
      Move(-static_cast<long>(entries_.size()));
      break;
    case Key::kEnd:
      Move(static_cast<long>(entries_.size()));
      break;
    case Key::kEnter:
    case Key::kRight:
      if (key.code == Key::kRight && (entries_.empty() || !entries_[cursor_].is_directory)) break;
      return Confirm();
    case Key::kBackspace:
    case Key::kLeft:
      Open(ParentFolder(folder_));
      break;
    case Key::kTab:
      if (!request_.patterns.empty()) {
        filter_ = (filter_ + 1) % request_.patterns.size();
        pattern_ = field_ = request_.patterns[filter_];
        Refresh();
      }
      break;
    case Key::kEscape:
      return State::kCancelled;
    case Key::kChar:
      if (key.ch == ' ') {
        Toggle();
      } else if (key.ch == '/') {
        editing_ = true;
        field_.clear();
      } else if (key.ch == 'q' || key.ch == 'Q') {
        return State::kCancelled;
      }
      break;
    default:
      break;
  }
  return State::kOpen;
}

}  // namespace qef
