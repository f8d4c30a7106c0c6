#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "runtime/settings.h"

namespace qef {

// The application settings in a plain text file, read afresh on every query:
//
//   [Quillon Pack 2\Export Fix]
//   Bad=:/\*"'?|<>
//   Good=----------
//
// - A line "[name]" starts a section (the sub-key); "name=value" sets a value in it.
// - Section and value names compare without regard to ASCII letter case; blanks around them
//   are dropped. The value is every byte after the first "=" up to the end of the line, taken as
//   it stands (blanks too); only a carriage return before the line feed is dropped.
// - Lines starting with ";" or "#" are comments. When a value is set twice, the last one holds.
// - A missing or unreadable file holds no values, and so does anything but a regular file (a
//   FIFO or a device is not even read) and an empty path. A file larger than kMaxSettingsSize
//   holds none either; that is told once, on `warnings`.
class PosixSettingsFile : public SettingsStore {
 public:
  explicit PosixSettingsFile(std::string path, std::FILE* warnings = stderr)
      : path_(std::move(path)), warnings_(warnings) {}
  std::optional<std::string> Query(const std::string& sub_key, const std::string& name) override;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::FILE* warnings_;
  bool warned_ = false;
};

inline constexpr size_t kMaxSettingsSize = 1 << 20;

// $EXPORTFIX_SETTINGS when set, else exportfix.ini in the folder "quillon" under
// $XDG_CONFIG_HOME when that is an absolute path, else under ~/.config when HOME is one; else
// empty: no settings file, rather than one in whatever folder is current.
std::string DefaultSettingsPath();

// Finds a value in the text of a settings file.
std::optional<std::string> FindSetting(const std::string& text, const std::string& sub_key,
                                       const std::string& name);

}  // namespace qef
