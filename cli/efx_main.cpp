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
#if defined(_WIN32)
  // The MinGW C library writes formatted text to an unbuffered stream one character at a time, a
  // WriteFile each: a report line cost dozens of calls, and a check of 1,000 small files took
  // 40 s under Wine. Both streams are buffered instead; whatever writes to them flushes when its
  // text is complete (a status line, a message, a file's report, the end of the run).
  static char out_buffer[1 << 16];
  static char err_buffer[1 << 12];
  std::setvbuf(stdout, out_buffer, _IOFBF, sizeof out_buffer);
  std::setvbuf(stderr, err_buffer, _IOFBF, sizeof err_buffer);
#endif
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
