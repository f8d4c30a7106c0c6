#pragma once

// The frame of one record of an export file, the six bytes before its body:
//
//   - offset 0, 2 bytes: type code, unsigned, little-endian (ef_rec_type.h names the codes)
//   - offset 2, 4 bytes: body length, unsigned, little-endian
//   - offset 6, body length bytes: the body
//
// The bytes are put together one by one, so the order holds on any processor and no bytes are
// read through a cast. The header needs nothing but the standard library, so the tools built for
// the build machine (the sample generator, the name lister) share it with the program.

#include <cstddef>
#include <cstdint>
#include <string>

namespace qef {

inline constexpr size_t kRecordHeaderSize = 6;

struct RecordFrame {
  uint16_t type = 0;
  uint32_t length = 0;
};

// The frame stored in the six bytes at `bytes`, of char, signed char or unsigned char alike.
template <typename Byte>
constexpr RecordFrame DecodeRecordFrame(const Byte* bytes) {
  static_assert(sizeof(Byte) == 1);
  auto at = [bytes](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])); };
  return {static_cast<uint16_t>(at(0) | at(1) << 8),
          at(2) | at(3) << 8 | at(4) << 16 | at(5) << 24};
}

// Stores the frame in the six bytes at `bytes`.
template <typename Byte>
constexpr void EncodeRecordFrame(RecordFrame frame, Byte* bytes) {
  static_assert(sizeof(Byte) == 1);
  for (size_t i = 0; i < 2; ++i) bytes[i] = static_cast<Byte>((frame.type >> (8 * i)) & 0xFF);
  for (size_t i = 0; i < 4; ++i) bytes[2 + i] = static_cast<Byte>((frame.length >> (8 * i)) & 0xFF);
}

inline void AppendRecordFrame(std::string& out, RecordFrame frame) {
  char bytes[kRecordHeaderSize];
  EncodeRecordFrame(frame, bytes);
  out.append(bytes, sizeof bytes);
}

}  // namespace qef
