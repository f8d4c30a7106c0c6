#pragma once

#include <cstdint>

namespace qef {

// A handle of the run-time's open-file table, counted from 1.
using FHandle = intptr_t;
inline constexpr FHandle F_ERROR = -1;

}  // namespace qef
