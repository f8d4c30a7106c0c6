#include "platform/win32/win32_directory_search.h"

#include <cstring>

#include "platform/backends.h"

// Windows headers come last: their macros would rename the portable names above.
#include <windows.h>
#undef CreateDialog

namespace qef {

namespace {

FILETIME FromWindows(const ::FILETIME& time) { return {time.dwLowDateTime, time.dwHighDateTime}; }
::FILETIME ToWindows(const FILETIME& time) { return {time.dwLowDateTime, time.dwHighDateTime}; }

void CopyFindData(const ::WIN32_FIND_DATAA& from, WIN32_FIND_DATAA* to) {
  to->dwFileAttributes = from.dwFileAttributes;
  to->ftCreationTime = FromWindows(from.ftCreationTime);
  to->ftLastAccessTime = FromWindows(from.ftLastAccessTime);
  to->ftLastWriteTime = FromWindows(from.ftLastWriteTime);
  to->nFileSizeHigh = from.nFileSizeHigh;
  to->nFileSizeLow = from.nFileSizeLow;
  static_assert(sizeof to->cFileName == sizeof from.cFileName);
  static_assert(sizeof to->cAlternateFileName == sizeof from.cAlternateFileName);
  std::memcpy(to->cFileName, from.cFileName, sizeof to->cFileName);
  std::memcpy(to->cAlternateFileName, from.cAlternateFileName, sizeof to->cAlternateFileName);
  // Windows terminates both; the copies stay terminated whatever arrives.
  to->cFileName[sizeof to->cFileName - 1] = '\0';
  to->cAlternateFileName[sizeof to->cAlternateFileName - 1] = '\0';
}

}  // namespace

HANDLE Win32DirectorySearch::FindFirstFileA(const char* path, WIN32_FIND_DATAA* data) {
  if (path == nullptr || data == nullptr) return INVALID_HANDLE_VALUE;
  ::WIN32_FIND_DATAA found;
  HANDLE search = ::FindFirstFileA(path, &found);
  last_error_ = search != INVALID_HANDLE_VALUE ? 0 : static_cast<uint32_t>(::GetLastError());
  if (search != INVALID_HANDLE_VALUE) CopyFindData(found, data);
  return search;
}

bool Win32DirectorySearch::FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data) {
  if (data == nullptr) return false;
  ::WIN32_FIND_DATAA found;
  if (!::FindNextFileA(search, &found)) return false;
  CopyFindData(found, data);
  return true;
}

bool Win32DirectorySearch::FindClose(HANDLE search) { return ::FindClose(search) != 0; }

bool Win32DirectorySearch::FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
  if (utc == nullptr || local == nullptr) return false;
  ::FILETIME in = ToWindows(*utc);
  ::FILETIME out;
  if (!::FileTimeToLocalFileTime(&in, &out)) return false;
  *local = FromWindows(out);
  return true;
}

bool Win32DirectorySearch::FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* result) {
  if (time == nullptr || result == nullptr) return false;
  ::FILETIME in = ToWindows(*time);
  ::SYSTEMTIME out;
  if (!::FileTimeToSystemTime(&in, &out)) return false;
  *result = {out.wYear, out.wMonth,  out.wDayOfWeek, out.wDay,
             out.wHour, out.wMinute, out.wSecond,    out.wMilliseconds};
  return true;
}

std::unique_ptr<DirectorySearch> MakeSystemDirectorySearch() {
  return std::make_unique<Win32DirectorySearch>();
}

}  // namespace qef
