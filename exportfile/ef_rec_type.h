#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qef {

// One known record type: its name and its code.
struct RecordTypeEntry {
  std::string_view name;
  uint16_t code;
};

// The 79 known record types, in ascending order of code.
std::span<const RecordTypeEntry> RecordTypeTable();

// The name of a record type code, such as "AEF_REC_MODNAME" for 0x0020; "Unknown" for a code
// the table does not hold.
std::string EFRecType(uint32_t code);

// The lookup of EFRecType over any table: the first entry of the code, "Unknown" without one,
// then every tab removed and trailing spaces trimmed.
std::string RecordTypeName(std::span<const RecordTypeEntry> table, uint32_t code);

}  // namespace qef
