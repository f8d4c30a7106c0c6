
#include "platform/backends.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry_settings.h"
#include "ui/window.h"

// Windows headers come last: their macros would rename the portable names above.
#include <windows.h>
#undef CreateDialog

namespace qef {

std::unique_ptr<FileSystem> MakeSystemFileSystem() { return std::make_unique<Win32FileSystem>(); }

std::unique_ptr<SettingsStore> MakeSystemSettings() {
  return std::make_unique<Win32RegistrySettings>();
}

ModuleInstance _GetInst() { return reinterpret_cast<ModuleInstance>(GetModuleHandleA(nullptr)); }

}  // namespace qef
