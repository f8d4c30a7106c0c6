#pragma once

#include <memory>

#include "platform/file_system.h"
#include "platform/settings.h"

namespace qef {

// The real backends of the system this program was built for.
std::unique_ptr<FileSystem> MakeSystemFileSystem();
std::unique_ptr<SettingsStore> MakeSystemSettings();

}  // namespace qef
