#include "runtime/file_text.h"

#include <algorithm>

#include "runtime/file_table.h"
#include "runtime/runtime.h"
#include "runtime/runtime_state.h"

namespace qef {

namespace {

// On a create a name that is not found can only be a folder on the way.
constexpr int kErrorFileNotFound = 2;

RuntimeState& State() { return CurrentRuntime().state(); }

std::string WithSeparator(std::string folder) {
  std::string_view separators = PathSeparators();
  if (!folder.empty() && separators.find(folder.back()) == std::string_view::npos) {
    folder += separators.empty() ? '/' : separators.front();
  }
  return folder;
}

}  // namespace

FHandle FOpen2(const std::string& path, uint32_t mode) { return FOpen(path, mode); }

FHandle FCreate2(const std::string& path, uint32_t attributes) {
  FHandle handle = FCreate(path, attributes);
  if (handle == F_ERROR && FError() == kErrorFileNotFound) {
    CurrentRuntime().file_table().last_error = kErrorPathNotFound;
  }
  return handle;
}

int64_t FSeek3(FHandle handle, int64_t offset, int origin) { return FSeek(handle, offset, origin); }

size_t FPutS(FHandle handle, const std::string& text) { return FPutS3(handle, text, text.size()); }

size_t FPutS3(FHandle handle, const std::string& text, size_t count) {
  std::string line = text.substr(0, std::min(count, text.size())) + "\r\n";
  return FWrite(handle, line.data(), line.size());
}

void _Hex(uint32_t value, char* out) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (int i = 7; i >= 0; --i) {
    out[i] = kDigits[value & 0xF];
    value >>= 4;
  }
}

std::string GetDefaultDir() { return State().default_dir; }
void SetDefaultDir(const std::string& folder) { State().default_dir = folder; }
std::string GetDefault() { return State().default_setting; }
void SetDefault(const std::string& folder) { State().default_setting = folder; }

std::string WorkDir() {
  RuntimeState& state = State();
  if (!state.default_dir.empty()) return WithSeparator(state.default_dir);
  if (!state.default_setting.empty()) return WithSeparator(state.default_setting);
  return state.base_work_dir ? state.base_work_dir() : std::string();
}

}  // namespace qef
