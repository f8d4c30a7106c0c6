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
};

}  // namespace qef
