
#include "platform/backends.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry_settings.h"

// Windows headers come last: their macros would rename the portable names above.
#include <windows.h>
#undef CreateDialog

namespace qef {

std::unique_ptr<FileSystem> MakeSystemFileSystem() { return std::make_unique<Win32FileSystem>(); }

std::unique_ptr<SettingsStore> MakeSystemSettings() {
  return std::make_unique<Win32RegistrySettings>();
}

SystemBackends MakeSystemBackends() {
  return {MakeSystemFileSystem(), MakeSystemSettings(), MakeSystemLocale(),
          MakeSystemDirectorySearch(), reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr))};
}

}  // namespace qef
