#pragma once

#include <cstdint>
#include <string>

#include "exportfile/ef_rec_type.h"

namespace qef::testing {

// One record as stored: type and length little-endian, then the body.
inline std::string Record(uint16_t type, const std::string& body) {
  auto length = static_cast<uint32_t>(body.size());
  std::string record;
  record += static_cast<char>(type & 0xFF);
  record += static_cast<char>(type >> 8);
  for (int shift = 0; shift < 32; shift += 8) record += static_cast<char>((length >> shift) & 0xFF);
  return record + body;
}

// A record whose length field says `length`, whatever the body holds.
inline std::string RecordWithLength(uint16_t type, uint32_t length, const std::string& body) {
  std::string record = Record(type, body);
  for (int i = 0; i < 4; ++i) record[2 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
  return record;
}

// The first record of an uncompressed export file: 0x80, then the signature.
inline std::string HeaderRecord() {
  return Record(AEF_REC_HEADER,
                std::string("\x80", 1) + "CA-VO 2.5 Export File, test data" + std::string(16, ' '));
}

inline std::string ModuleBody(const std::string& name) { return name + std::string(1, '\0'); }

}  // namespace qef::testing
