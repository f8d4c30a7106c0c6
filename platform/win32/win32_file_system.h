#pragma once

#include "platform/folder_identities.h"
#include "runtime/file_system.h"

namespace qef {

// Files through Windows handles.
class Win32FileSystem : public FileSystem {
 public:
  std::unique_ptr<File> Open(const std::string& path, FileAccess access) override;
  std::unique_ptr<File> Create(const std::string& path, CreateMode mode) override;
  bool Erase(const std::string& path) override;
  bool Rename(const std::string& from, const std::string& to) override;
  bool RenameIfFree(const std::string& from, const std::string& to) override;
  bool MissingNamesAreDear() const override { return true; }
  // Kept for the next file of the run (NewKeptBlock).
  std::unique_ptr<BlockMemory> NewBlockMemory(size_t size) override;
  bool CreateFolder(const std::string& path) override;
  bool IsFolder(const std::string& path) const override;
  int LastError() const override { return last_error_; }
  std::string_view PathSeparators() const override { return "\\/"; }
  // The volume's serial number and the file index; the full path with its letter case folded
  // where the system gives no index.
  std::optional<FileIdentity> IdentifyFile(const std::string& path) const override;
  // Compares the files' indexes first, which costs no call about their volume.
  bool SameFile(const std::string& first, const std::string& second) const override;
  std::optional<FileIdentity> IdentifyEntry(const std::string& path) const override;
  std::string ErrorText(int code) const override;

 private:
  // MoveFileEx with `flags`, written through.
  bool Move(const std::string& from, const std::string& to, unsigned long flags);
  std::unique_ptr<File> OpenHandle(const std::string& path, unsigned long access,
                                   unsigned long disposition);
  int last_error_ = 0;
  // The folders IdentifyEntry has met, by their full paths, case folded.
  mutable FolderIdentities folder_identities_;
};

}  // namespace qef
