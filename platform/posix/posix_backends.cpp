#include "platform/backends.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_settings_file.h"

namespace qef {

std::unique_ptr<FileSystem> MakeSystemFileSystem() { return std::make_unique<PosixFileSystem>(); }

std::unique_ptr<SettingsStore> MakeSystemSettings() {
  return std::make_unique<PosixSettingsFile>(DefaultSettingsPath());
}

void InstallSystemExceptionHandler() {}

// Resources are built into the program itself: there is no module handle to hand over.
SystemBackends MakeSystemBackends() {
  return {MakeSystemFileSystem(), MakeSystemSettings(), MakeSystemLocale(),
          MakeSystemDirectorySearch(), 0};
}

}  // namespace qef
