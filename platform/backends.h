#pragma once

// The real backends of the system this program was built for. A program's main makes them once
// with MakeSystemBackends and hands them, with its own user interface, to one ScopedRuntime.

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/backends.h"
#include "runtime/directory_search.h"
#include "runtime/file_system.h"
#include "runtime/locale_source.h"
#include "runtime/settings.h"

namespace qef {

struct SystemBackends {
  std::unique_ptr<FileSystem> files;
  std::unique_ptr<SettingsStore> settings;
  std::unique_ptr<LocaleSource> locale;  // the user's, answered by GetLocaleInfoA's item numbers
  std::unique_ptr<DirectorySearch> directory_search;
  uintptr_t module_instance = 0;

  // The run-time's view of them, with the program's own user interface: each program has its
  // own (windows, a terminal, or the command line's status line).
  Backends With(UserInterface& ui) const;
};

// One per system; each part below is made by its system's file.
SystemBackends MakeSystemBackends();

std::unique_ptr<FileSystem> MakeSystemFileSystem();
std::unique_ptr<SettingsStore> MakeSystemSettings();
std::unique_ptr<LocaleSource> MakeSystemLocale();
std::unique_ptr<DirectorySearch> MakeSystemDirectorySearch();
// The folder for the run-time's own files (the error log), ending in a separator; it exists
// when this returns, or the result names the current folder.
std::string SystemWorkDir();
// A path named by the user, made absolute against the current folder.
std::string SystemFullPath(const std::string& path);
// Turns processor exceptions (an access violation and the like) into run-time errors with
// sub-code 5333, so that they end in the error log and the error box. Windows only: on POSIX a
// signal handler cannot run the error handler safely, so such a crash ends the process.
void InstallSystemExceptionHandler();

inline Backends SystemBackends::With(UserInterface& ui) const {
  Backends backends(*files, *settings, ui);
  backends.locale = locale.get();
  backends.directory_search = directory_search.get();
  backends.base_work_dir = SystemWorkDir;
  backends.module_instance = module_instance;
  return backends;
}

}  // namespace qef
