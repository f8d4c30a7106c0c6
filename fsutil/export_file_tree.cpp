#include "fsutil/export_file_tree.h"

#include <algorithm>

#include "fsutil/extended_directory.h"
#include "fsutil/wildcard_expansion.h"
#include "runtime/directory_functions.h"
#include "runtime/international.h"

namespace qef {

namespace {

bool HasExportExtension(const std::string& name) {
  if (name.size() < 4) return false;
  std::string extension = Upper(name.substr(name.size() - 4));
  return extension == ".AEF" || extension == ".MEF";
}

struct Entry {
  std::string name;
  uint32_t attributes;
};

// The entries of the folder but "." and ".."; false when it cannot be listed (an empty drive
// root lists nothing, and is no failure).
bool ListFolder(const std::string& folder, std::string_view separators,
                std::vector<Entry>& entries) {
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(JoinPath(folder, "*", separators).c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return SearchError() == kSearchNoMatch;
  do {
    const char* name = data.cFileName;
    std::string text(name, std::find(name, name + sizeof data.cFileName, '\0'));
    if (text != "." && text != "..") entries.push_back({std::move(text), data.dwFileAttributes});
  } while (FindNextFileA(search, &data));
  FindClose(search);
  return true;
}

void AddExportFiles(const std::string& folder, const std::string& relative,
                    std::string_view separators, std::vector<TreeFile>& files) {
  std::vector<Entry> entries;
  if (!ListFolder(folder, separators, entries)) {
    files.push_back({folder, relative});
    return;
  }
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return NameBefore(a.name, b.name); });
  const std::string below = relative.empty() ? "" : relative + separators[0];
  std::vector<const Entry*> folders;
  for (const Entry& entry : entries) {
    // A folder is taken as a listing without attributes takes a file: not a link, not hidden.
    const uint32_t kind = entry.attributes & FILE_ATTRIBUTE_DIRECTORY;
    if (!FileAttributeOK(kind, entry.attributes)) continue;
    if (kind != 0) {
      folders.push_back(&entry);
    } else if (HasExportExtension(entry.name)) {
      files.push_back({JoinPath(folder, entry.name, separators), below + entry.name});
    }
  }
  for (const Entry* entry : folders) {
    AddExportFiles(JoinPath(folder, entry->name, separators), below + entry->name, separators,
                   files);
  }
}

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name,
                     std::string_view separators) {
  if (folder.empty()) return name;
  const bool ends = separators.find(folder.back()) != std::string_view::npos ||
                    (folder.size() == 2 && folder[1] == ':' && separators.size() > 1);
  return ends ? folder + name : folder + separators[0] + name;
}

std::vector<TreeFile> ExportFilesUnder(const std::string& folder, std::string_view separators) {
  std::vector<TreeFile> files;
  AddExportFiles(folder, "", separators, files);
  return files;
}

}  // namespace qef
