#pragma once

// The tests of the run-time's file functions run over every file-system backend. Each backend's
// test file instantiates FileFunctionsTest with a FileTestBackend of its own.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "runtime/file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "runtime/runtime.h"

namespace qef {

// A file system under test, with a way to put and get whole files past the file functions.
class FileTestBackend {
 public:
  virtual ~FileTestBackend() = default;
  virtual FileSystem& files() = 0;
  // The path the file functions use for a file of this name.
  virtual std::string Path(const std::string& name) const = 0;
  virtual void Put(const std::string& name, const std::string& content) = 0;
  // The content of the file, or nothing when there is none.
  virtual std::optional<std::string> Get(const std::string& name) const = 0;
  // Whether the file system shows files in views, or leaves its callers to read.
  virtual bool HasViews() const { return true; }
};

struct FileBackendParam {
  const char* name;
  std::unique_ptr<FileTestBackend> (*make)();
};

inline void PrintTo(const FileBackendParam& param, std::ostream* out) { *out << param.name; }

inline std::string FileBackendName(const testing::TestParamInfo<FileBackendParam>& info) {
  return info.param.name;
}

class FileFunctionsTest : public testing::TestWithParam<FileBackendParam> {
 protected:
  void SetUp() override {
    backend_ = GetParam().make();
    runtime_ = std::make_unique<ScopedRuntime>(backend_->files(), settings_, ui_);
  }

  std::string Path(const std::string& name) const { return backend_->Path(name); }

  std::unique_ptr<FileTestBackend> backend_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  std::unique_ptr<ScopedRuntime> runtime_;
};

}  // namespace qef
