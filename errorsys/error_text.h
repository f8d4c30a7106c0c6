#pragma once

// The description text of an error and the error log "VOERROR.LOG".

#include <string>

#include "errorsys/error.h"
#include "runtime/file_functions.h"
#include "runtime/usual.h"

namespace qef {

// The lines that describe the error, each ending in CR LF; the first is always there.
std::string DefErrorText(const Error& oError);
// Opens the log in the run-time's working folder at its end (after an empty line), or creates
// it; F_ERROR when neither works.
FHandle ErrorLogOpen();
// Writes one entry: a banner, version, date and time, the message and the object's properties.
void ErrorLogWrite(FHandle handle, const std::string& message, const Error& oError);
// Eight hexadecimal digits of a 32-bit value; a floating-point number holding a whole number
// gets its digits without padding.
std::string ValueToHex(const Usual& value);

}  // namespace qef
