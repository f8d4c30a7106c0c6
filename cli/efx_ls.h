#pragma once

#include <string>
#include <vector>

#include "cli/efx.h"

namespace qef {

// efx ls PATTERN [ATTRIBUTES] [--json]: the extended directory listing as an aligned table or
// as JSON. Uses the installed run-time's directory search and international settings.
int RunLs(const std::vector<std::string>& args, EfxEnvironment& env);

}  // namespace qef
