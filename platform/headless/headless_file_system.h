#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "runtime/file_system.h"

namespace qef {

// Files kept in memory. It records what it was asked and can be told to fail, so tests assert
// the behaviour at the file seam, not only the results.
class HeadlessFileSystem : public FileSystem {
 public:
  explicit HeadlessFileSystem(std::string separators = "/") : separators_(std::move(separators)) {}

  void AddFile(const std::string& path, std::string content);
  bool Exists(const std::string& path) const { return files_.count(path) != 0; }
  // The content of a file; empty when there is none.
  std::string Content(const std::string& path) const;
  std::vector<std::string> Names() const;
  // Cuts a file to `size` bytes in place, as another program would: open files see it too.
  void Truncate(const std::string& path, size_t size);

  std::unique_ptr<File> Open(const std::string& path, FileAccess access) override;
  std::unique_ptr<File> Create(const std::string& path, CreateMode mode) override;
  bool Erase(const std::string& path) override;
  bool Rename(const std::string& from, const std::string& to) override;
  bool RenameIfFree(const std::string& from, const std::string& to) override;
  bool MissingNamesAreDear() const override { return dear_missing_names; }
  // A folder is a name only: made unless a file has it or `refuse_folders` names it.
  bool CreateFolder(const std::string& path) override;
  bool IsFolder(const std::string& path) const override { return folders_.count(path) != 0; }
  int LastError() const override { return last_error_; }
  std::string_view PathSeparators() const override { return separators_; }
  // A file's identity is its name (folded when names are case-insensitive): no links here.
  std::optional<FileIdentity> IdentifyFile(const std::string& path) const override;
  std::optional<FileIdentity> IdentifyEntry(const std::string& path) const override;
  std::string ErrorText(int code) const override { return "error " + std::to_string(code); }

  // What was asked, in order.
  std::vector<std::string> opened;
  std::vector<std::string> created;
  std::vector<std::string> erased;
  std::vector<std::pair<std::string, std::string>> renamed;
  std::vector<std::string> folders_made;
  mutable std::vector<std::string> identified;  // the paths of IdentifyFile

  // Faults to inject: the n-th backend write (counted from 1 over all files) fails, every read
  // of the named file fails, creating or opening the named file fails.
  long fail_write_number = 0;
  std::string fail_reads_of;
  int64_t fail_reads_from = 0;  // reads of that file reaching past this offset fail
  std::vector<std::string> refuse_create;
  int refuse_create_error = 5;  // the code a refused create reports (5: access denied)
  std::vector<std::string> refuse_open;
  bool refuse_rename = false;
  std::vector<std::string> refuse_folders;
  bool case_insensitive_names = false;
  // As under Wine: a copy is looked at only when renaming it into place finds one there.
  bool dear_missing_names = false;
  // Temporary files another program claims; any other existing one is stale (CreateMode).
  std::vector<std::string> claimed;
  // Whether files can be viewed in memory (as on POSIX) or must be read (as on Windows).
  bool views = true;
  // Whether files can be read at an offset beside a worker's copies from them (as on POSIX).
  bool positioned_reads = false;
  // Views report that a part of them could not be read, as a cut under a mapping would.
  bool damage_views = false;
  // Called with the name before each create: a test changes the files there, after the input's
  // file test and before its copy.
  std::function<void(const std::string&)> before_create;
  // Called as each span copy starts, before it touches either file, on the thread that copies
  // (the worker's, for an output written behind): a test holds the copy there, or throws.
  std::function<void()> on_span_copy;

  // A span copy counts as one write (and fails as one), and reads its source as one read.
  long writes = 0;
  long reads = 0;
  long reads_at = 0;  // of those, reads at an offset (ReadAt)
  size_t largest_read = 0;
  long span_copies = 0;
  size_t largest_view = 0;

 private:
  friend class HeadlessFile;
  std::map<std::string, std::shared_ptr<std::string>> files_;
  std::set<std::string> folders_;
  std::string separators_;
  int last_error_ = 0;
};

}  // namespace qef
