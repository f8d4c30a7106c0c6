#pragma once

// The run-time's directory search and file-time conversions, by Windows' names, answered by the
// installed run-time's directory-search backend.

#include "runtime/directory_search.h"

namespace qef {

// Without an installed directory search nothing is found and no time converts.
HANDLE FindFirstFileA(const char* path, WIN32_FIND_DATAA* data);
// Why the last FindFirstFileA found nothing (DirectorySearch::SearchError).
uint32_t SearchError();
bool FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data);
bool FindClose(HANDLE search);
bool FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local);
bool FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* result);

}  // namespace qef
