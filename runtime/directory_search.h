#pragma once

// The directory search and file-time conversions of Windows, by the same names and shapes, so
// that the directory listing reads like the Windows code it describes. Each backend answers as
// Windows would: the Win32 one calls the real API, the POSIX one builds the records from the
// file system, the headless one replays scripted records.

#include <cstdint>
#include <memory>

namespace qef {

using HANDLE = void*;
// The value FindFirstFileA returns when nothing is found (the same bits as Windows').
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~uintptr_t{0});

inline constexpr uint32_t FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr uint32_t FILE_ATTRIBUTE_HIDDEN = 0x2;
inline constexpr uint32_t FILE_ATTRIBUTE_SYSTEM = 0x4;
inline constexpr uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr uint32_t FILE_ATTRIBUTE_TEMPORARY = 0x100;
inline constexpr uint32_t FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
inline constexpr uint32_t FILE_ATTRIBUTE_COMPRESSED = 0x800;

inline constexpr int MAX_PATH = 260;

// 100-nanosecond intervals since 1601-01-01, in two 32-bit halves.
struct FILETIME {
  uint32_t dwLowDateTime;
  uint32_t dwHighDateTime;
};

struct SYSTEMTIME {
  uint16_t wYear;
  uint16_t wMonth;
  uint16_t wDayOfWeek;  // 0 = Sunday
  uint16_t wDay;
  uint16_t wHour;
  uint16_t wMinute;
  uint16_t wSecond;
  uint16_t wMilliseconds;
};

// The fields of Windows' WIN32_FIND_DATAA that a listing reads; the names are NUL-terminated.
struct WIN32_FIND_DATAA {
  uint32_t dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  uint32_t nFileSizeHigh;
  uint32_t nFileSizeLow;
  char cFileName[MAX_PATH];
  char cAlternateFileName[14];
};

inline uint64_t FileTimeValue(const FILETIME& time) {
  return uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime;
}
inline FILETIME MakeFileTime(uint64_t value) {
  return {static_cast<uint32_t>(value), static_cast<uint32_t>(value >> 32)};
}

// Contract of every backend, as Windows keeps it:
// - FindFirstFileA takes a path whose last component may hold the wildcards "*" and "?", fills
//   `data` with the first matching entry and returns a handle, or INVALID_HANDLE_VALUE when
//   nothing matches or the folder cannot be read.
// - SearchError tells why the last FindFirstFileA returned INVALID_HANDLE_VALUE, as Windows'
//   GetLastError would: kSearchNoMatch when the folder was read and nothing matched,
//   kSearchNoFolder when the folder does not exist, another code (access denied, a name too
//   long) when the folder could not be read. 0 after a search that found something.
// - FindNextFileA fills `data` with the next entry; false when there is none (or the handle is
//   unknown), `data` is then untouched.
// - FindClose ends the search; false for an unknown handle.
// - FileTimeToLocalFileTime moves a UTC file time into local time, FileTimeToSystemTime splits a
//   file time into its calendar fields; false when the value cannot be converted.
inline constexpr uint32_t kSearchNoMatch = 2;   // ERROR_FILE_NOT_FOUND
inline constexpr uint32_t kSearchNoFolder = 3;  // ERROR_PATH_NOT_FOUND

class DirectorySearch {
 public:
  virtual ~DirectorySearch() = default;
  virtual HANDLE FindFirstFileA(const char* path, WIN32_FIND_DATAA* data) = 0;
  virtual uint32_t SearchError() const = 0;
  virtual bool FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data) = 0;
  virtual bool FindClose(HANDLE search) = 0;
  virtual bool FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) = 0;
  virtual bool FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* result) = 0;
};

}  // namespace qef
