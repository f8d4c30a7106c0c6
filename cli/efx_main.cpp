#include <cstdio>

#include "cli/efx.h"
#include "errorsys/def_error.h"
#include "platform/backends.h"
#include "runtime/error_block.h"
#include "runtime/runtime.h"
#include "runtime/startup.h"
#include "ui/console.h"
#include "ui/console_ui.h"

int main(int argc, char** argv) {
  qef::EnsureStandardStreams();
  const qef::SystemBackends system = qef::MakeSystemBackends();
  const qef::TerminalEncoding encoding = qef::ConsoleEncoding();
  qef::ConsoleUi ui(stderr, qef::IsTerminal(stderr), qef::InstallInterruptFlag(), encoding);
  qef::EfxEnvironment env{*system.files, *system.settings, ui, stdout, stderr, encoding};
  env.expand_wildcards = QEF_EFX_EXPANDS_WILDCARDS != 0;
  env.stop_signal = qef::StopSignal;
  // The run-time with the error system around the whole run, so that an error or an escaping
  // exception ends in the default handler (error log, message, exit code) however deep it arose.
  qef::ScopedRuntime runtime(system.With(ui));
  qef::RuntimeInstance instance;
  qef::InstallSystemExceptionHandler();
  return qef::RunGuarded([&] {
    qef::ErrorSysInit();
    qef::ErrorFuncInit();
    return qef::RunEfx(std::vector<std::string>(argv + 1, argv + argc), env);
  });
}
