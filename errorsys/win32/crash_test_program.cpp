// A program that reads through a null pointer once the error system is installed, for the test
// that a processor exception ends as a run-time error with sub-code 5333 in the error log. The
// error box is answered by a script (quit), so the program ends without a person.
#include <cstdio>

#include "errorsys/def_error.h"
#include "platform/backends.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "runtime/error_block.h"
#include "runtime/runtime.h"
#include "runtime/startup.h"

namespace {
volatile int* volatile nowhere = nullptr;
}

int main() {
  const qef::SystemBackends system = qef::MakeSystemBackends();
  // Settings and boxes of its own: the user's settings stay untouched and nobody answers a box.
  qef::HeadlessSettings settings;
  qef::HeadlessUi ui;
  qef::Backends backends(*system.files, settings, ui);
  backends.locale = system.locale.get();
  backends.base_work_dir = [] { return std::string(".\\"); };  // the log beside the test
  qef::ScopedRuntime runtime(backends);
  qef::RuntimeInstance instance;
  qef::InstallSystemExceptionHandler();
  qef::ErrorSysInit();
  qef::ErrorFuncInit();
  std::printf("about to fail\n");
  std::fflush(stdout);
  return *nowhere;
}
