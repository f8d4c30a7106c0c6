#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "runtime/directory_search.h"

namespace qef {

// A directory search that replays scripted entries for exact paths, in the order given, and
// converts times with a fixed offset from UTC. Every search and every close is recorded.
class HeadlessDirectorySearch : public DirectorySearch {
 public:
  // An entry with the given name, attributes and size; all its times are `time`.
  static WIN32_FIND_DATAA Entry(const std::string& name, uint32_t attributes, uint64_t size = 0,
                                uint64_t time = 0, const std::string& short_name = "");

  void Script(const std::string& path, std::vector<WIN32_FIND_DATAA> entries) {
    scripts_[path] = std::move(entries);
  }
  // Local time = UTC + offset; the conversion fails for results outside 0 .. 2^63.
  void SetUtcOffsetSeconds(int64_t seconds) { offset_seconds_ = seconds; }

  HANDLE FindFirstFileA(const char* path, WIN32_FIND_DATAA* data) override;
  // kSearchNoMatch for a path without records, unless `search_errors` gives another code.
  uint32_t SearchError() const override { return last_error_; }
  bool FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data) override;
  bool FindClose(HANDLE search) override;
  bool FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) override;
  bool FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* result) override;

  std::vector<std::string> searched;              // every path FindFirstFileA was given
  std::map<std::string, uint32_t> search_errors;  // why a path without records finds nothing
  int closes = 0;
  size_t open_searches() const { return open_.size(); }

 private:
  std::map<std::string, std::vector<WIN32_FIND_DATAA>> scripts_;
  std::map<uintptr_t, std::pair<std::string, size_t>> open_;  // path, next entry
  uintptr_t next_handle_ = 1;
  int64_t offset_seconds_ = 0;
  uint32_t last_error_ = 0;
};

}  // namespace qef
