#pragma once

// Little-endian writing and reading, byte by byte, so the files come out the same on any host.

#include <cstdint>
#include <string>
#include <string_view>

namespace qef {

inline void PutU8(std::string& out, uint32_t value) { out += static_cast<char>(value & 0xFF); }
inline void PutLe16(std::string& out, uint32_t value) {
  PutU8(out, value);
  PutU8(out, value >> 8);
}
inline void PutLe32(std::string& out, uint32_t value) {
  PutLe16(out, value & 0xFFFF);
  PutLe16(out, value >> 16);
}
inline void PutFourCc(std::string& out, std::string_view code) { out.append(code.substr(0, 4)); }

// Reads at `offset`; the caller checks the bounds.
inline uint32_t GetLe16(std::string_view in, size_t offset) {
  return static_cast<uint8_t>(in[offset]) |
         static_cast<uint32_t>(static_cast<uint8_t>(in[offset + 1])) << 8;
}
inline uint32_t GetLe32(std::string_view in, size_t offset) {
  return GetLe16(in, offset) | GetLe16(in, offset + 2) << 16;
}

// Overwrites four bytes already written, for sizes known only at the end.
inline void PatchLe32(std::string& out, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace qef
