#pragma once

#include <csignal>
#include <cstdio>

#include "runtime/display_text.h"

namespace qef {

// True when the stream writes to a terminal.
bool IsTerminal(std::FILE* stream);

// How the user's terminal reads bytes, so that untrusted text can be shown on it safely.
TerminalEncoding ConsoleEncoding();

// Makes sure descriptors 0, 1 and 2 are open, on the null device where one was closed, so that
// no file the program opens later is given one of their numbers and receives what the program
// writes to its standard streams. Call it first thing in main.
void EnsureStandardStreams();

// Makes the user's interrupt key (Ctrl-C), and on POSIX the requests to end (SIGTERM, SIGHUP),
// set the returned flag to the signal's number instead of ending the process, so it can reach a
// window as its cancel command. On POSIX a write to a pipe nobody reads then fails (EPIPE), and
// one past the file size limit (EFBIG), instead of ending the process halfway.
volatile std::sig_atomic_t* InstallInterruptFlag();
// The signal that last asked the program to stop (SIGINT for Ctrl-C), kept after the flag is
// reset; 0 when none came.
int StopSignal();

}  // namespace qef
