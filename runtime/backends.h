#pragma once

// Every backend a run-time works through, chosen once at start-up and handed to one
// ScopedRuntime: by a program's main from its system's backends, by a test from the headless
// ones. The run-time reaches the operating system through these alone.

#include <cstdint>
#include <functional>
#include <string>

namespace qef {

class DirectorySearch;
class FileSystem;
class LocaleSource;
class SettingsStore;
class UserInterface;

struct Backends {
  Backends(FileSystem& file_system, SettingsStore& stored_settings, UserInterface& user_interface)
      : files(file_system), settings(stored_settings), ui(user_interface) {}

  FileSystem& files;
  SettingsStore& settings;
  UserInterface& ui;
  // Without a locale the international settings keep the run-time's defaults; without a
  // directory search FindFirstFileA finds nothing.
  LocaleSource* locale = nullptr;
  DirectorySearch* directory_search = nullptr;
  // The folder for the run-time's own files (the error log) when no default folder is set,
  // ending in a separator; none: the current folder.
  std::function<std::string()> base_work_dir;
  // The program's own module, where its resources are looked up; 0 names the program itself.
  uintptr_t module_instance = 0;
};

}  // namespace qef
