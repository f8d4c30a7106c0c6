#pragma once

#include <string>

#include "runtime/settings.h"

namespace qef {

// The application settings in the registry: sub-keys under HKEY_CURRENT_USER\Software\Quillon,
// string values taken byte for byte (without the terminating zero); DWORD values only where a
// number is asked for.
class Win32RegistrySettings : public SettingsStore {
 public:
  explicit Win32RegistrySettings(std::string root = "Software\\Quillon") : root_(std::move(root)) {}
  std::optional<std::string> Query(const std::string& sub_key, const std::string& name) override {
    return Read(sub_key, name, false);
  }
  std::optional<std::string> QueryStringOrNumber(const std::string& sub_key,
                                                 const std::string& name) override {
    return Read(sub_key, name, true);
  }

 private:
  std::optional<std::string> Read(const std::string& sub_key, const std::string& name,
                                  bool numbers);

  std::string root_;
};

}  // namespace qef
