#pragma once

#include <memory>
#include <string>

#include "runtime/file_system.h"
#include "runtime/locale_source.h"
#include "runtime/settings.h"

namespace qef {

// The real backends of the system this program was built for.
std::unique_ptr<FileSystem> MakeSystemFileSystem();
std::unique_ptr<SettingsStore> MakeSystemSettings();
// The user's locale, answered by GetLocaleInfoA's item numbers.
std::unique_ptr<LocaleSource> MakeSystemLocale();
// The folder for the run-time's own files (the error log), ending in a separator; it exists
// when this returns, or the result names the current folder.
std::string SystemWorkDir();
// A path named by the user, made absolute against the current folder.
std::string SystemFullPath(const std::string& path);
// Turns processor exceptions (an access violation and the like) into run-time errors with
// sub-code 5333, so that they end in the error log and the error box. Windows only: on POSIX a
// signal handler cannot run the error handler safely, so such a crash ends the process.
void InstallSystemExceptionHandler();

}  // namespace qef
