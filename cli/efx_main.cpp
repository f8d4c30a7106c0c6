#include <cstdio>

#include "cli/efx.h"
#include "errorsys/def_error.h"
#include "platform/backends.h"
#include "ui/console.h"
#include "runtime/directory_search.h"
#include "runtime/error_block.h"
#include "runtime/runtime.h"
#include "runtime/runtime_state.h"
#include "runtime/startup.h"
#include "ui/console_ui.h"

int main(int argc, char** argv) {
  qef::EnsureStandardStreams();
  auto files = qef::MakeSystemFileSystem();
  auto settings = qef::MakeSystemSettings();
  const qef::TerminalEncoding encoding = qef::ConsoleEncoding();
  qef::ConsoleUi ui(stderr, qef::IsTerminal(stderr), qef::InstallInterruptFlag(), encoding);
  qef::EfxEnvironment env{*files, *settings, ui, stdout, stderr, encoding};
  env.expand_wildcards = QEF_EFX_EXPANDS_WILDCARDS != 0;
  env.stop_signal = qef::StopSignal;
  // The run-time with the error system around the whole run, so that an error or an escaping
  // exception ends in the default handler (error log, message, exit code) however deep it arose.
  auto locale = qef::MakeSystemLocale();
  qef::ScopedRuntime runtime(*files, *settings, ui);
  runtime.runtime().state().locale = locale.get();
  auto directories = qef::MakeSystemDirectorySearch();
  runtime.runtime().state().directory_search = directories.get();
  runtime.runtime().state().base_work_dir = qef::SystemWorkDir;
  qef::RuntimeInstance instance;
  qef::InstallSystemExceptionHandler();
  return qef::RunGuarded([&] {
    qef::ErrorSysInit();
    qef::ErrorFuncInit();
    return qef::RunEfx(std::vector<std::string>(argv + 1, argv + argc), env);
  });
}
