#pragma once

#include <optional>

#include "runtime/symbol.h"

namespace qef {

// Switches the run-time's international settings to WINDOWS (the user's locale), CLIPPER or
// BINARY (fixed values) and returns the mode in force before; without an argument only returns
// it. Another symbol raises an error (general code 30) to the current error block and changes
// nothing. A run-time error while a mode is applied ends the applying quietly: the settings made
// until then stay.
Symbol SetInternational(std::optional<Symbol> mode = std::nullopt);

}  // namespace qef
