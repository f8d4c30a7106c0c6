#include "platform/headless/headless_directory_search.h"

#include <cstring>

#include "platform/file_time.h"
#include "runtime/directory_functions.h"

namespace qef {

WIN32_FIND_DATAA HeadlessDirectorySearch::Entry(const std::string& name, uint32_t attributes,
                                                uint64_t size, uint64_t time,
                                                const std::string& short_name) {
  WIN32_FIND_DATAA entry{};
  entry.dwFileAttributes = attributes;
  entry.nFileSizeHigh = static_cast<uint32_t>(size >> 32);
  entry.nFileSizeLow = static_cast<uint32_t>(size);
  entry.ftCreationTime = entry.ftLastAccessTime = entry.ftLastWriteTime = MakeFileTime(time);
  std::strncpy(entry.cFileName, name.c_str(), sizeof entry.cFileName - 1);
  std::strncpy(entry.cAlternateFileName, short_name.c_str(), sizeof entry.cAlternateFileName - 1);
  return entry;
}

HANDLE HeadlessDirectorySearch::FindFirstFileA(const char* path, WIN32_FIND_DATAA* data) {
  searched.push_back(path != nullptr ? path : "");
  auto script = scripts_.find(searched.back());
  if (script == scripts_.end() || script->second.empty() || data == nullptr) {
    auto error = search_errors.find(searched.back());
    last_error_ = error != search_errors.end() ? error->second : kSearchNoMatch;
    return INVALID_HANDLE_VALUE;
  }
  last_error_ = 0;
  *data = script->second[0];
  const uintptr_t handle = next_handle_++;
  open_[handle] = {script->first, 1};
  return reinterpret_cast<HANDLE>(handle);
}

bool HeadlessDirectorySearch::FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data) {
  auto found = open_.find(reinterpret_cast<uintptr_t>(search));
  if (found == open_.end() || data == nullptr) return false;
  const auto& entries = scripts_[found->second.first];
  size_t& next = found->second.second;
  if (next >= entries.size()) return false;
  *data = entries[next++];
  return true;
}

bool HeadlessDirectorySearch::FindClose(HANDLE search) {
  ++closes;
  return open_.erase(reinterpret_cast<uintptr_t>(search)) != 0;
}

bool HeadlessDirectorySearch::FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
  if (utc == nullptr || local == nullptr) return false;
  const uint64_t value = FileTimeValue(*utc);
  const int64_t offset = offset_seconds_ * 10'000'000;
  if (value >= uint64_t{1} << 63) return false;
  const int64_t ticks = static_cast<int64_t>(value);
  if (offset > 0 && ticks > INT64_MAX - offset) return false;
  const int64_t shifted = ticks + offset;
  if (shifted < 0) return false;
  *local = MakeFileTime(static_cast<uint64_t>(shifted));
  return true;
}

bool HeadlessDirectorySearch::FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* result) {
  return time != nullptr && FileTimeToCalendar(*time, result);
}

}  // namespace qef
