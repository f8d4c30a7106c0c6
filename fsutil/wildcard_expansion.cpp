#include "fsutil/wildcard_expansion.h"

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

// Letters are compared in upper case, as NTFS orders its folders.
unsigned char Fold(char c) {
  auto byte = static_cast<unsigned char>(c);
  return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}

void AddMatchingNames(const std::string& pattern, std::vector<std::string>& names) {
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (FileAttributeOK(0, data.dwFileAttributes)) {
      const char* name = data.cFileName;
      names.emplace_back(name, std::find(name, name + sizeof data.cFileName, '\0'));
    }
  } while (FindNextFileA(search, &data));
  FindClose(search);
}

}  // namespace

bool NameBefore(const std::string& a, const std::string& b) {
  auto folded = [](char x, char y) { return Fold(x) < Fold(y); };
  if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), folded)) return true;
  if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), folded)) return false;
  return a < b;
}

bool HasWildcard(const std::string& path) {
  return path.find_first_of("*?", LastPartStart(path)) != std::string::npos;
}

std::vector<std::string> ExpandWildcards(const std::string& path, bool pattern_list) {
  const std::string folder = path.substr(0, LastPartStart(path));
  const std::string patterns = path.substr(folder.size());
  std::vector<std::string> names;
  for (size_t start = 0; start <= patterns.size();) {
    size_t end = pattern_list ? patterns.find(';', start) : std::string::npos;
    if (end == std::string::npos) end = patterns.size();
    if (end > start) AddMatchingNames(folder + patterns.substr(start, end - start), names);
    start = end + 1;
  }
  std::sort(names.begin(), names.end(), NameBefore);
  names.erase(std::unique(names.begin(), names.end()), names.end());
  for (std::string& name : names) name.insert(0, folder);
  return names;
}

}  // namespace qef
