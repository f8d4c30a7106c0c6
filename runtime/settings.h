#pragma once

#include <optional>
#include <string>

namespace qef {

// The run-time's application settings: string values under sub-keys. Backends: the registry on
// Windows, a settings file on POSIX, a map in tests.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The stored value byte for byte, or nothing when the value is absent.
  virtual std::optional<std::string> Query(const std::string& sub_key, const std::string& name) = 0;
  // Like Query, but a value stored as a number (a registry DWORD) comes as its decimal text.
  // Stores that hold only text answer as Query does.
  virtual std::optional<std::string> QueryStringOrNumber(const std::string& sub_key,
                                                         const std::string& name) {
    return Query(sub_key, name);
  }
};

}  // namespace qef
