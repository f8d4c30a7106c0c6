#pragma once

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "tools/tool_files.h"

namespace qef {

// A fresh folder under the system's temporary folder, removed with everything in it.
class PosixTestFolder {
 public:
  PosixTestFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qef-platform-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~PosixTestFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  PosixTestFolder(const PosixTestFolder&) = delete;
  PosixTestFolder& operator=(const PosixTestFolder&) = delete;

  // Empty when the folder could not be made.
  const std::string& path() const { return path_; }
  std::string Path(const std::string& name) const { return path_ + "/" + name; }

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
