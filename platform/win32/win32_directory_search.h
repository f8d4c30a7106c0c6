#pragma once

#include "runtime/directory_search.h"

namespace qef {

// The directory search and time conversions of the Windows API itself.
class Win32DirectorySearch : public DirectorySearch {
 public:
  HANDLE FindFirstFileA(const char* path, WIN32_FIND_DATAA* data) override;
  uint32_t SearchError() const override { return last_error_; }
  bool FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data) override;
  bool FindClose(HANDLE search) override;
  bool FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) override;
  bool FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* result) override;

 private:
  uint32_t last_error_ = 0;
};

}  // namespace qef
