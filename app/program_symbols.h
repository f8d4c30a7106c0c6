#pragma once

#include <cstddef>
#include <string_view>

namespace qef {

// The program's symbol table resource, generated at build time from its sources.
extern const unsigned char kProgramSymbolTable[];
extern const std::size_t kProgramSymbolTableSize;

inline std::string_view ProgramSymbolTable() {
  return {reinterpret_cast<const char*>(kProgramSymbolTable), kProgramSymbolTableSize};
}

}  // namespace qef
