#include "platform/posix/posix_directory_search.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/backends.h"
#include "platform/file_time.h"
#include "runtime/directory_functions.h"
#include "runtime/wildcard.h"

namespace qef {

namespace {

constexpr int64_t kTicksPerSecond = 10'000'000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t kEpochDifference = 11'644'473'600;

FILETIME ToFileTime(const struct timespec& time) {
  const int64_t seconds = static_cast<int64_t>(time.tv_sec) + kEpochDifference;
  if (seconds < 0) return MakeFileTime(0);  // before 1601: the earliest file time
  if (seconds >= INT64_MAX / kTicksPerSecond) return MakeFileTime(INT64_MAX);
  return MakeFileTime(static_cast<uint64_t>(seconds * kTicksPerSecond + time.tv_nsec / 100));
}

char FoldCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// "." and ".." first, then without regard to case, then by bytes so the order is total.
bool ListedBefore(const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
  auto rank = [](const char* name) {
    return std::strcmp(name, ".") == 0 ? 0 : std::strcmp(name, "..") == 0 ? 1 : 2;
  };
  const int rank_a = rank(a.cFileName);
  const int rank_b = rank(b.cFileName);
  if (rank_a != rank_b) return rank_a < rank_b;
  const char* x = a.cFileName;
  const char* y = b.cFileName;
  while (*x != '\0' && FoldCase(*x) == FoldCase(*y)) {
    ++x;
    ++y;
  }
  if (FoldCase(*x) != FoldCase(*y)) {
    return static_cast<unsigned char>(FoldCase(*x)) < static_cast<unsigned char>(FoldCase(*y));
  }
  return std::strcmp(a.cFileName, b.cFileName) < 0;
}

// Some file systems claim a birth time and report zero; that counts as none.
struct timespec BirthTime(const std::string& path, const struct stat& info) {
#ifdef STATX_BTIME
  struct statx extended;
  if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME, &extended) == 0 &&
      (extended.stx_mask & STATX_BTIME) != 0 &&
      (extended.stx_btime.tv_sec != 0 || extended.stx_btime.tv_nsec != 0)) {
    return {static_cast<time_t>(extended.stx_btime.tv_sec),
            static_cast<long>(extended.stx_btime.tv_nsec)};
  }
#else
  (void)path;
#endif
  return info.st_ctim;
}

}  // namespace

bool PosixFindData(const std::string& folder, const std::string& name, WIN32_FIND_DATAA* data) {
  if (name.size() >= sizeof data->cFileName) return false;
  const std::string path = folder == "/" ? "/" + name : folder + "/" + name;
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return false;

  WIN32_FIND_DATAA found{};
  uint32_t attributes = 0;
  uint64_t size = 0;
  if (S_ISLNK(info.st_mode)) {
    attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    struct stat target;
    if (::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
      attributes |= FILE_ATTRIBUTE_DIRECTORY;
    } else {
      attributes |= FILE_ATTRIBUTE_ARCHIVE;
    }
  } else if (S_ISDIR(info.st_mode)) {
    attributes |= FILE_ATTRIBUTE_DIRECTORY;
  } else if (S_ISREG(info.st_mode)) {
    attributes |= FILE_ATTRIBUTE_ARCHIVE;
    size = static_cast<uint64_t>(info.st_size);
  } else {
    attributes |= FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM;
  }
  // A symbolic link's own mode bits mean nothing on Linux; its target's decide.
  if (!S_ISLNK(info.st_mode) && (info.st_mode & S_IWUSR) == 0) {
    attributes |= FILE_ATTRIBUTE_READONLY;
  }
  if (name.size() > 1 && name[0] == '.' && name != "..") attributes |= FILE_ATTRIBUTE_HIDDEN;

  found.dwFileAttributes = attributes;
  found.nFileSizeHigh = static_cast<uint32_t>(size >> 32);
  found.nFileSizeLow = static_cast<uint32_t>(size);
  found.ftLastWriteTime = ToFileTime(info.st_mtim);
  found.ftLastAccessTime = ToFileTime(info.st_atim);
  found.ftCreationTime = ToFileTime(BirthTime(path, info));
  std::memcpy(found.cFileName, name.c_str(), name.size() + 1);
  *data = found;
  return true;
}

HANDLE PosixDirectorySearch::FindFirstFileA(const char* path, WIN32_FIND_DATAA* data) {
  last_error_ = kSearchNoMatch;
  if (path == nullptr || data == nullptr) return INVALID_HANDLE_VALUE;
  const std::string text = path;
  const size_t slash = text.rfind('/');
  std::string folder = slash == std::string::npos ? "." : text.substr(0, slash);
  if (folder.empty()) folder = "/";
  const std::string pattern = slash == std::string::npos ? text : text.substr(slash + 1);
  if (pattern.empty()) return INVALID_HANDLE_VALUE;  // Windows refuses a path ending in a slash

  DIR* directory = ::opendir(folder.c_str());
  if (directory == nullptr) {
    // As Windows says it: no such folder, or one that cannot be read (5, access denied; 206,
    // a name too long).
    last_error_ = errno == ENOENT || errno == ENOTDIR ? kSearchNoFolder
                  : errno == ENAMETOOLONG             ? 206
                                                      : 5;
    return INVALID_HANDLE_VALUE;
  }
  Search search;
  while (const struct dirent* entry = ::readdir(directory)) {
    const std::string name = entry->d_name;
    if (!WildcardMatch(pattern, name)) continue;
    WIN32_FIND_DATAA found;
    // An entry removed while the folder is read is simply not listed.
    if (PosixFindData(folder, name, &found)) search.entries.push_back(found);
  }
  ::closedir(directory);
  if (search.entries.empty()) return INVALID_HANDLE_VALUE;

  last_error_ = 0;
  std::sort(search.entries.begin(), search.entries.end(), ListedBefore);
  *data = search.entries[0];
  search.next = 1;
  const uintptr_t handle = next_handle_++;
  searches_.emplace(handle, std::move(search));
  return reinterpret_cast<HANDLE>(handle);
}

bool PosixDirectorySearch::FindNextFileA(HANDLE handle, WIN32_FIND_DATAA* data) {
  auto found = searches_.find(reinterpret_cast<uintptr_t>(handle));
  if (found == searches_.end() || data == nullptr) return false;
  Search& search = found->second;
  if (search.next >= search.entries.size()) return false;
  *data = search.entries[search.next++];
  return true;
}

bool PosixDirectorySearch::FindClose(HANDLE handle) {
  return searches_.erase(reinterpret_cast<uintptr_t>(handle)) != 0;
}

bool PosixDirectorySearch::FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
  if (utc == nullptr || local == nullptr) return false;
  const uint64_t ticks = FileTimeValue(*utc);
  if (ticks >= uint64_t{1} << 63) return false;
  const time_t seconds =
      static_cast<time_t>(static_cast<int64_t>(ticks / kTicksPerSecond) - kEpochDifference);
  struct tm broken_down;
  if (::localtime_r(&seconds, &broken_down) == nullptr) return false;
  const int64_t shifted = static_cast<int64_t>(ticks) + broken_down.tm_gmtoff * kTicksPerSecond;
  if (shifted < 0) return false;
  *local = MakeFileTime(static_cast<uint64_t>(shifted));
  return true;
}

bool PosixDirectorySearch::FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* result) {
  return time != nullptr && FileTimeToCalendar(*time, result);
}

std::unique_ptr<DirectorySearch> MakeSystemDirectorySearch() {
  return std::make_unique<PosixDirectorySearch>();
}

}  // namespace qef
