#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/user_interface.h"

namespace qef {

// A key the terminal read, decoded.
struct Key {
  enum Code {
    kNone,
    kChar,
    kUp,
    kDown,
    kLeft,
    kRight,
    kPageUp,
    kPageDown,
    kHome,
    kEnd,
    kEnter,
    kEscape,
    kTab,
    kBackspace,
    kInterrupt
  };
  Code code = kNone;
  char ch = 0;
};

struct PickerEntry {
  std::string name;
  bool is_directory = false;
};

// Lists a folder; nothing when it cannot be read.
using FolderLister = std::function<std::optional<std::vector<PickerEntry>>(const std::string&)>;

// The terminal's open-file dialog, without the drawing: a folder's sub-folders and the files
// that match the current file type, a cursor, the files chosen so far (in the order chosen),
// and a file-name field that takes a name, a folder or a pattern, as the Windows dialog's does.
//
// Keys: arrows, Page Up/Down, Home/End move; Space chooses or drops the file under the cursor
// (several only with OFN_ALLOWMULTISELECT); Enter opens a folder or confirms; Backspace or Left
// goes to the parent folder; Tab switches the file type; "/" edits the file-name field; Escape
// or Ctrl-C cancels.
class FilePicker {
 public:
  enum class State { kOpen, kConfirmed, kCancelled };

  FilePicker(const OpenDialogRequest& request, std::string folder, FolderLister lister);

  State HandleKey(const Key& key);

  const OpenDialogRequest& request() const { return request_; }
  const std::string& folder() const { return folder_; }
  const std::vector<PickerEntry>& entries() const { return entries_; }
  size_t cursor() const { return cursor_; }
  const std::string& pattern() const { return pattern_; }
  size_t filter() const { return filter_; }
  const std::string& field() const { return field_; }
  bool editing() const { return editing_; }
  const std::string& message() const { return message_; }
  bool IsChosen(const std::string& name) const;
  // Full paths, in the order chosen.
  const std::vector<std::string>& chosen() const { return chosen_; }

 private:
  void Open(const std::string& folder);
  void Refresh();
  State Confirm();
  State ApplyField();
  void Toggle();
  void Move(long delta);
  std::string PathOf(const std::string& name) const;
  bool AllowsSeveral() const { return (request_.options & OFN_ALLOWMULTISELECT) != 0; }

  OpenDialogRequest request_;
  FolderLister lister_;
  std::string folder_;
  std::vector<PickerEntry> entries_;
  size_t cursor_ = 0;
  std::string pattern_;
  size_t filter_ = 0;
  std::string field_;
  bool editing_ = false;
  std::string message_;
  std::vector<std::string> chosen_;
};

// The parent of a folder given as an absolute path ("/" has none).
std::string ParentFolder(const std::string& folder);
// `path` resolved against `folder` when it is relative, with "." and ".." resolved by text.
std::string ResolvePath(const std::string& folder, const std::string& path);
// `path` as an absolute path with ".", ".." and repeated slashes resolved by its text alone.
std::string NormalSlashPath(const std::string& path);

}  // namespace qef
