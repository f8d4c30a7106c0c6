#pragma once

#include <string>

#include "platform/settings.h"

namespace qef {

// The application settings in the registry: sub-keys under HKEY_CURRENT_USER\Software\Quillon,
// string values taken byte for byte (without the terminating zero).
class Win32RegistrySettings : public SettingsStore {
 public:
  explicit Win32RegistrySettings(std::string root = "Software\\Quillon") : root_(std::move(root)) {}
  std::optional<std::string> Query(const std::string& sub_key, const std::string& name) override;

 private:
  std::string root_;
};

}  // namespace qef
