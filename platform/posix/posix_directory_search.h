#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "runtime/directory_search.h"

namespace qef {

// The directory search of Windows over a POSIX file system.
// - The last path component is the pattern, matched as Windows matches it ("*", "?", letters
//   without regard to case), "." and ".." included when it matches them; the rest names the
//   folder ("." when there is none).
// - Entries come "." and ".." first, then by name without regard to case, as NTFS returns them.
// - Attributes: a folder is DIRECTORY; anything else ARCHIVE (Windows marks every new file so);
//   READONLY when the owner may not write; HIDDEN for a name beginning with "." (not "." and
//   ".."); a symbolic link is REPARSE_POINT with size 0 and its own times, plus DIRECTORY when
//   it leads to a folder; a device, pipe or socket is SYSTEM, so a listing leaves it out unless
//   asked.
// - Times are UTC file times: last write = modification time, last access = access time,
//   creation = birth time where the file system reports one, else the status change time.
// - There are no short names: cAlternateFileName stays empty.
// Local time comes from the system's time zone (TZ) at the instant converted, so summer and
// winter times each get their own offset.
class PosixDirectorySearch : public DirectorySearch {
 public:
  HANDLE FindFirstFileA(const char* path, WIN32_FIND_DATAA* data) override;
  uint32_t SearchError() const override { return last_error_; }
  bool FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data) override;
  bool FindClose(HANDLE search) override;
  bool FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) override;
  bool FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* result) override;

  size_t open_searches() const { return searches_.size(); }

 private:
  struct Search {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
  };
  std::map<uintptr_t, Search> searches_;
  uintptr_t next_handle_ = 1;
  uint32_t last_error_ = 0;
};

// The find-data record of one entry of `folder`; false when it cannot be examined.
bool PosixFindData(const std::string& folder, const std::string& name, WIN32_FIND_DATAA* data);

}  // namespace qef
