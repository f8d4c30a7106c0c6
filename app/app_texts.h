#pragma once

#include <cstdint>
#include <string>

namespace qef {

inline constexpr char kAppTitle[] = "Quillon Export File Fix v1.1";

// "1 .FIX file was successfully written." and the like; empty for no file.
std::string CountSentence(uint32_t fixed);

}  // namespace qef
