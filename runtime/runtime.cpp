#include "runtime/runtime.h"

#include <cstdio>
#include <cstdlib>

#include "runtime/file_table.h"
#include "runtime/runtime_state.h"
#include "runtime/settings.h"

namespace qef {

namespace {
Runtime* installed = nullptr;
}  // namespace

Runtime::Runtime(FileSystem& files, SettingsStore& settings, UserInterface& ui)
    : files_(files),
      settings_(settings),
      ui_(ui),
      file_table_(std::make_unique<FileTable>()),
      state_(std::make_shared<RuntimeState>()) {}

Runtime::~Runtime() = default;

Runtime& CurrentRuntime() {
  if (installed == nullptr) {
    std::fputs("run-time function called before the run-time was started\n", stderr);
    std::abort();
  }
  return *installed;
}

bool RuntimeInstalled() { return installed != nullptr; }

ScopedRuntime::ScopedRuntime(const Backends& backends)
    : runtime_(backends.files, backends.settings, backends.ui), previous_(installed) {
  if (previous_ != nullptr) runtime_.ShareState(*previous_);
  RuntimeState& state = runtime_.state();
  if (backends.locale != nullptr) state.locale = backends.locale;
  if (backends.directory_search != nullptr) state.directory_search = backends.directory_search;
  if (backends.base_work_dir) state.base_work_dir = backends.base_work_dir;
  if (backends.module_instance != 0) state.module_instance = backends.module_instance;
  installed = &runtime_;
}

ScopedRuntime::~ScopedRuntime() { installed = previous_; }

std::string QueryRTRegString(const std::string& sub_key, const std::string& name) {
  return CurrentRuntime().settings().Query(sub_key, name).value_or(std::string());
}

std::string QueryRTRegStringOrNumber(const std::string& sub_key, const std::string& name) {
  return CurrentRuntime().settings().QueryStringOrNumber(sub_key, name).value_or(std::string());
}

}  // namespace qef
