#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

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
    std::ofstream(Path(name), std::ios::binary | std::ios::trunc) << content;
  }
  std::optional<std::string> Get(const std::string& name) const {
    std::ifstream file(Path(name), std::ios::binary);
    if (!file) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

 private:
  std::string path_;
};

}  // namespace qef
