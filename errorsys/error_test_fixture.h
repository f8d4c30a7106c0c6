#pragma once

#include <gtest/gtest.h>

#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_locale.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "runtime/runtime.h"
#include "runtime/runtime_state.h"

namespace qef {

// A run-time over the headless backends with a fixed clock, version and log folder.
class ErrorSystemTest : public ::testing::Test {
 protected:
  ErrorSystemTest() : runtime_(fs_, settings_, ui_) {
    RuntimeState& state = runtime_.runtime().state();
    state.clock = [] { return LocalDateTime{2024, 3, 7, 9, 5, 2}; };
    state.version = "TestRT 9.9";
    state.base_work_dir = [] { return std::string("/logs/"); };
    state.locale = &locale_;
  }
  RuntimeState& state() { return runtime_.runtime().state(); }

  HeadlessFileSystem fs_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  HeadlessLocale locale_;
  ScopedRuntime runtime_;
};

}  // namespace qef
