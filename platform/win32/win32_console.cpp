#include <io.h>
#include <windows.h>

#include "ui/console.h"

namespace qef {

namespace {
volatile std::sig_atomic_t interrupted = 0;
volatile std::sig_atomic_t stop_signal = 0;

BOOL WINAPI OnControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  interrupted = SIGINT;
  stop_signal = SIGINT;
  return TRUE;
}
}  // namespace

bool IsTerminal(std::FILE* stream) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// The console shows the bytes as characters of its code page; only control bytes act.
TerminalEncoding ConsoleEncoding() { return TerminalEncoding::kAnsiConsole; }

// The C run-time of Windows hands a program valid (if unattached) standard streams.
void EnsureStandardStreams() {}

volatile std::sig_atomic_t* InstallInterruptFlag() {
  SetConsoleCtrlHandler(OnControl, TRUE);
  return &interrupted;
}

int StopSignal() { return stop_signal; }

}  // namespace qef
