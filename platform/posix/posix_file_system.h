#pragma once

#include <sys/types.h>

#include <map>

#include "platform/folder_identities.h"
#include "runtime/file_system.h"

namespace qef {

class PosixFileSystem : public FileSystem {
 public:
  PosixFileSystem();
  ~PosixFileSystem() override;

  // Spans go from file to file inside the kernel (copy_file_range); tests turn it off to run the
  // block copy. Files can be mapped, but are not unless asked: the record loop reads an input in
  // blocks instead. Chasing record headers through a mapping waited on a page-table walk per
  // page, and unmapping cost more than reading a small file: a 256 MiB export file took twice as
  // long viewed as read (bodies too long for the buffer still go from file to file).
  bool kernel_copy = true;
  bool views = false;
  // Bytes that copy_file_range moved, for tests.
  uint64_t kernel_copied = 0;

  std::unique_ptr<File> Open(const std::string& path, FileAccess access) override;
  std::unique_ptr<File> Create(const std::string& path, CreateMode mode) override;
  std::unique_ptr<File> CreateLike(const std::string& path, CreateMode mode, File& model) override;
  bool Erase(const std::string& path) override;
  bool Rename(const std::string& from, const std::string& to) override;
  bool CreateFolder(const std::string& path) override;
  bool IsFolder(const std::string& path) const override;
  int LastError() const override { return last_error_; }
  std::string_view PathSeparators() const override { return "/"; }
  std::optional<FileIdentity> IdentifyFile(const std::string& path) const override;
  std::optional<FileIdentity> IdentifyEntry(const std::string& path) const override;
  std::unique_ptr<BlockMemory> NewBlockMemory(size_t size) override;
  std::string ErrorText(int code) const override;

  // The user's file-creation mask, read once at the start.
  mode_t umask() const { return umask_; }
  // The bits a copy of a file with `mode` gets: its permission bits, less the write bits the
  // user's file-creation mask removes.
  mode_t CopyBits(mode_t mode) const { return mode & 0777 & ~(umask_ & 0222); }

 private:
  std::unique_ptr<File> OpenDescriptor(const std::string& path, int flags, mode_t mode = 0666);
  std::unique_ptr<File> CreateWithBits(const std::string& path, CreateMode mode, mode_t bits);
  std::unique_ptr<File> CreateTemporary(const std::string& path, mode_t bits);
  // Removes the temporary file of that name when nobody claims it; false when someone does.
  bool RemoveStale(const std::string& path);
  void ReleaseClaim(const std::string& path);

  int last_error_ = 0;
  mode_t umask_ = 0;  // the user's file-creation mask, read once at the start
  // The folders IdentifyEntry has met, by the paths that named them.
  mutable FolderIdentities folder_identities_;
  // The temporary files this program claims: a lock (flock) held on a descriptor of each.
  std::map<std::string, int> claims_;
};

// The absolute form of a path with ".", ".." and repeated slashes resolved by text alone.
std::string AbsolutePosixPath(const std::string& path);

}  // namespace qef
