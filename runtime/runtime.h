#pragma once

#include <memory>
#include <string>

#include "runtime/backends.h"

namespace qef {

class FileSystem;
class SettingsStore;
class UserInterface;
class FileTable;
struct RuntimeState;

// The run-time a program runs on: the backends chosen once at start-up and the state the
// run-time's functions keep between calls (the open files). The functions that the system calls
// by the run-time's names (FOpen, QueryRTRegString, ApplicationExec ...) use the installed one.
class Runtime {
 public:
  Runtime(FileSystem& files, SettingsStore& settings, UserInterface& ui);
  ~Runtime();
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  FileSystem& files() { return files_; }
  SettingsStore& settings() { return settings_; }
  UserInterface& ui() { return ui_; }
  FileTable& file_table() { return *file_table_; }
  RuntimeState& state() { return *state_; }
  // Makes this run-time keep the other's state: a run-time started inside another (with other
  // backends) goes on with the same error block and settings.
  void ShareState(Runtime& other) { state_ = other.state_; }

 private:
  FileSystem& files_;
  SettingsStore& settings_;
  UserInterface& ui_;
  std::unique_ptr<FileTable> file_table_;
  std::shared_ptr<RuntimeState> state_;
};

// The stored string of the installed run-time's settings, or an empty string when the value is
// absent.
std::string QueryRTRegString(const std::string& sub_key, const std::string& name);
// The stored string or number as text, or an empty string when the value is absent.
std::string QueryRTRegStringOrNumber(const std::string& sub_key, const std::string& name);

// The installed run-time. Calling a run-time function with none installed is a programming
// error and ends the process.
Runtime& CurrentRuntime();

// True while a run-time is installed.
bool RuntimeInstalled();

// Installs a run-time over the given backends for its own lifetime and puts the previous one
// back afterwards. A run-time installed inside another keeps the other's state, and the
// backends it is given beyond the first three replace the other's only where they are set.
class ScopedRuntime {
 public:
  explicit ScopedRuntime(const Backends& backends);
  ScopedRuntime(FileSystem& files, SettingsStore& settings, UserInterface& ui)
      : ScopedRuntime(Backends(files, settings, ui)) {}
  ~ScopedRuntime();
  ScopedRuntime(const ScopedRuntime&) = delete;
  ScopedRuntime& operator=(const ScopedRuntime&) = delete;
  Runtime& runtime() { return runtime_; }

 private:
  Runtime runtime_;
  Runtime* previous_;
};

}  // namespace qef
