#pragma once

#include <string_view>

namespace qef {

// Matches a file name against a pattern as Windows does: "*" any run of characters, "?" any one
// character, letters without regard to ASCII case. "*.*" matches every name, with or without
// a dot.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// True when the name matches one of the ";"-separated patterns ("*.AEF;*.MEF").
bool MatchesAnyPattern(std::string_view patterns, std::string_view name);

}  // namespace qef
