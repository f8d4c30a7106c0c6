#include "runtime/directory_functions.h"

#include "runtime/runtime.h"
#include "runtime/runtime_state.h"

namespace qef {

namespace {

DirectorySearch* Installed() { return CurrentRuntime().state().directory_search; }

}  // namespace

HANDLE FindFirstFileA(const char* path, WIN32_FIND_DATAA* data) {
  DirectorySearch* search = Installed();
  return search != nullptr ? search->FindFirstFileA(path, data) : INVALID_HANDLE_VALUE;
}

uint32_t SearchError() {
  DirectorySearch* search = Installed();
  return search != nullptr ? search->SearchError() : kSearchNoMatch;
}

bool FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data) {
  DirectorySearch* backend = Installed();
  return backend != nullptr && backend->FindNextFileA(search, data);
}

bool FindClose(HANDLE search) {
  DirectorySearch* backend = Installed();
  return backend != nullptr && backend->FindClose(search);
}

bool FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
  DirectorySearch* backend = Installed();
  return backend != nullptr && backend->FileTimeToLocalFileTime(utc, local);
}

bool FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* result) {
  DirectorySearch* backend = Installed();
  return backend != nullptr && backend->FileTimeToSystemTime(time, result);
}

}  // namespace qef
