#pragma once

#include <memory>
#include <vector>

#include "platform/file_system.h"
#include "runtime/file_handle.h"

namespace qef {

class BufferedFile;

// The run-time's open files, addressed by handles counted from 1. The run-time owns it; the file
// functions fill it.
class FileTable {
 public:
  FileTable();
  ~FileTable();
  FHandle Add(std::unique_ptr<File> file);
  BufferedFile* Get(FHandle handle);
  void Remove(FHandle handle);
  size_t OpenCount() const;

  int last_error = 0;

 private:
  std::vector<std::unique_ptr<BufferedFile>> files_;
};

}  // namespace qef
