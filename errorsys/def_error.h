#pragma once

#include "runtime/usual.h"

namespace qef {

// The default error handler: ends network errors quietly, otherwise beeps, logs and shows the
// error box as the run-time's settings say, and then substitutes, defaults, retries, breaks to
// a recovery point or ends the program with the error's general code.
Usual DefError(const Usual& oError);

// The error system's start-up procedure: installs DefError as the error block and applies the
// user's international settings, unless an error block is installed already.
void ErrorSysInit();
// The error function's start-up procedure: registers DefErrorGen while one run-time instance
// is active.
void ErrorFuncInit();

}  // namespace qef
