#pragma once

#include <cstdint>
#include <string>

#include "exportfile/ef_rec_type.h"
#include "exportfile/record_frame.h"

namespace qef::testing {

// A record whose length field says `length`, whatever the body holds.
inline std::string RecordWithLength(uint16_t type, uint32_t length, const std::string& body) {
  std::string record;
  AppendRecordFrame(record, {type, length});
  return record + body;
}

// One record as stored: its frame, then the body.
inline std::string Record(uint16_t type, const std::string& body) {
  return RecordWithLength(type, static_cast<uint32_t>(body.size()), body);
}

// The first record of an uncompressed export file: 0x80, then the signature.
inline std::string HeaderRecord() {
  return Record(AEF_REC_HEADER,
                std::string("\x80", 1) + "CA-VO 2.5 Export File, test data" + std::string(16, ' '));
}

inline std::string ModuleBody(const std::string& name) { return name + std::string(1, '\0'); }

}  // namespace qef::testing
