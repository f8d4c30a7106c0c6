#include "platform/win32/win32_registry_settings.h"

#include <windows.h>

#include <vector>

namespace qef {

std::optional<std::string> Win32RegistrySettings::Read(const std::string& sub_key,
                                                       const std::string& name, bool numbers) {
  HKEY key;
  std::string path = root_ + "\\" + sub_key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  DWORD type = 0;
  DWORD size = 0;
  std::optional<std::string> value;
  bool found = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
  if (found && (type == REG_SZ || type == REG_EXPAND_SZ)) {
    std::vector<char> data(size + 1);
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                         &size) == ERROR_SUCCESS) {
      std::string text(data.data(), size);
      if (!text.empty() && text.back() == '\0') text.pop_back();  // the terminating zero
      value = std::move(text);
    }
  } else if (found && numbers && type == REG_DWORD && size == sizeof(DWORD)) {
    DWORD number = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&number),
                         &size) == ERROR_SUCCESS) {
      value = std::to_string(number);
    }
  }
  RegCloseKey(key);
  return value;
}

}  // namespace qef
