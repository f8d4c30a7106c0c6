#pragma once

#include <csignal>
#include <cstdio>

#include "runtime/display_text.h"

namespace qef {

// True when the stream writes to a terminal.
bool IsTerminal(std::FILE* stream);

// How the user's terminal reads bytes, so that untrusted text can be shown on it safely.
TerminalEncoding ConsoleEncoding();

// Makes the user's interrupt key (Ctrl-C) set the returned flag instead of ending the process,
// so it can reach a window as its cancel command.
volatile std::sig_atomic_t* InstallInterruptFlag();

}  // namespace qef
