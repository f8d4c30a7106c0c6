#pragma once

#include "platform/file_system.h"

namespace qef {

class PosixFileSystem : public FileSystem {
 public:
  // Spans go from file to file inside the kernel (copy_file_range) and files can be mapped; tests
  // turn either off to run the fall-backs.
  bool kernel_copy = true;
  bool views = true;
  // Bytes that copy_file_range moved, for tests.
  uint64_t kernel_copied = 0;

  std::unique_ptr<File> Open(const std::string& path, FileAccess access) override;
  std::unique_ptr<File> Create(const std::string& path, CreateMode mode) override;
  bool Erase(const std::string& path) override;
  bool Rename(const std::string& from, const std::string& to) override;
  int LastError() const override { return last_error_; }
  std::string_view PathSeparators() const override { return "/"; }
  bool SameName(const std::string& a, const std::string& b) const override;

 private:
  std::unique_ptr<File> OpenDescriptor(const std::string& path, int flags);
  int last_error_ = 0;
};

// The absolute form of a path with ".", ".." and repeated slashes resolved by text alone.
std::string AbsolutePosixPath(const std::string& path);

}  // namespace qef
