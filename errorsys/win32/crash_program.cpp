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
#include "runtime/runtime_state.h"
#include "runtime/startup.h"

namespace {
volatile int* volatile nowhere = nullptr;
}

int main() {
  auto files = qef::MakeSystemFileSystem();
  qef::HeadlessSettings settings;
  qef::HeadlessUi ui;
  auto locale = qef::MakeSystemLocale();
  qef::ScopedRuntime runtime(*files, settings, ui);
  runtime.runtime().state().locale = locale.get();
  runtime.runtime().state().base_work_dir = [] { return std::string(".\\"); };
  qef::RuntimeInstance instance;
  qef::InstallSystemExceptionHandler();
  qef::ErrorSysInit();
  qef::ErrorFuncInit();
  std::printf("about to fail\n");
  std::fflush(stdout);
  return *nowhere;
}
