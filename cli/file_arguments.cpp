#include "cli/file_arguments.h"

#include <algorithm>

#include "fsutil/extended_directory.h"
#include "runtime/directory_functions.h"

namespace qef {

namespace {

// Where the last part of a path begins: after its last separator or its drive.
size_t LastPartStart(const std::string& path) {
  size_t separator = path.find_last_of("/\\:");
  return separator == std::string::npos ? 0 : separator + 1;
}

bool HasWildcard(const std::string& path) {
  return path.find_first_of("*?", LastPartStart(path)) != std::string::npos;
}

// Letters are compared in upper case, as NTFS orders its folders.
unsigned char Fold(char c) {
  auto byte = static_cast<unsigned char>(c);
  return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}

// Name order without regard to case; names that differ only in case keep a fixed order.
bool NameBefore(const std::string& a, const std::string& b) {
  auto folded = [](char x, char y) { return Fold(x) < Fold(y); };
  if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), folded)) return true;
  if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), folded)) return false;
  return a < b;
}

std::vector<std::string> MatchingNames(const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    // The same entries as a listing without attributes: no folders, hidden or system files.
    if (FileAttributeOK(0, data.dwFileAttributes)) {
      const char* name = data.cFileName;
      names.emplace_back(name, std::find(name, name + sizeof data.cFileName, '\0'));
    }
  } while (FindNextFileA(search, &data));
  FindClose(search);
  std::sort(names.begin(), names.end(), NameBefore);
  return names;
}

}  // namespace

std::vector<FileArgument> ExpandFileArguments(const std::vector<std::string>& args, bool expand) {
  std::vector<FileArgument> result;
  for (const std::string& arg : args) {
    if (!expand || !HasWildcard(arg)) {
      result.push_back({arg, true});
      continue;
    }
    std::vector<std::string> names = MatchingNames(arg);
    if (names.empty()) result.push_back({arg, false});
    const std::string folder = arg.substr(0, LastPartStart(arg));
    for (const std::string& name : names) result.push_back({folder + name, true});
  }
  return result;
}

std::string NoMatchMessage(const std::string& pattern) { return "No file matches " + pattern; }

}  // namespace qef
