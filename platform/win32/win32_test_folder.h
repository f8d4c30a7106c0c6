#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "tools/tool_files.h"

namespace qef {

// A fresh folder under the user's temporary folder, removed with its files.
class Win32TestFolder {
 public:
  Win32TestFolder() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    for (int attempt = 0; attempt < 1000 && path_.empty(); ++attempt) {
      std::string candidate = std::string(base) + "qef-" + std::to_string(GetCurrentProcessId()) +
                              "-" + std::to_string(attempt);
      if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
    }
  }
  ~Win32TestFolder() {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        DeleteFileA(Path(found.cFileName).c_str());
        RemoveDirectoryA(Path(found.cFileName).c_str());
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    RemoveDirectoryA(path_.c_str());
  }
  Win32TestFolder(const Win32TestFolder&) = delete;
  Win32TestFolder& operator=(const Win32TestFolder&) = delete;

  // Empty when the folder could not be made.
  const std::string& path() const { return path_; }
  std::string Path(const std::string& name) const { return path_ + "\\" + name; }

  void Put(const std::string& name, const std::string& content) const {
    WriteWholeFile(Path(name), content);
  }
  std::optional<std::string> Get(const std::string& name) const {
    return ReadWholeFile(Path(name));
  }

 private:
  std::string path_;
};

}  // namespace qef
