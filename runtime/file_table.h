#pragma once

#include <memory>
#include <vector>

#include "runtime/file_handle.h"
#include "runtime/file_system.h"

namespace qef {

class BufferedFile;

// The run-time's open files, addressed by handles counted from 1. The run-time owns it; the file
// functions fill it, from one thread (runtime/write_behind.h).
class FileTable {
 public:
  FileTable();
  // Files still open when the run-time ends (an exception unwound past their owner) are dropped
  // unclosed, but every worker is stopped first: one may be copying from another file.
  ~FileTable();
  FHandle Add(std::unique_ptr<File> file);
  BufferedFile* Get(FHandle handle);
  // Takes the file out of the table, for the caller to close; null for a bad handle.
  std::unique_ptr<BufferedFile> Take(FHandle handle);
  size_t OpenCount() const;
  // The open files whose writes a worker does.
  size_t WritingBehind() const { return writing_behind_; }
  // Hands the file's writes to a worker from now on; false where the build has no threads.
  bool StartWriteBehind(FHandle handle, int& error);
  // Waits until the workers of all files have no copy left to do: one may be copying from a
  // file that is about to be read, moved or closed.
  void WaitForCopies();

  int last_error = 0;
  int last_close_system_error = 0;  // see FSystemError

 private:
  std::vector<std::unique_ptr<BufferedFile>> files_;
  size_t writing_behind_ = 0;  // files with a worker
};

}  // namespace qef
