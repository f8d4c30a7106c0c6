#include "exportfile/name_rules.h"

#include <cstdint>

namespace qef {

namespace {

bool IsControl(char c) {
  auto byte = static_cast<uint8_t>(c);
  return byte >= 0x01 && byte <= 0x1F;
}

bool IsDotOrBlank(char c) { return c == '.' || c == ' '; }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsDeviceDigit(char c) {
  auto byte = static_cast<uint8_t>(c);
  return (c >= '0' && c <= '9') || byte == 0xB9 || byte == 0xB2 || byte == 0xB3;
}

// The length of the part before the first "." when that part is a reserved device name, else 0.
size_t ReservedDeviceLength(std::string_view name) {
  std::string_view stem = name.substr(0, name.find('.'));
  if (stem.size() != 3 && stem.size() != 4) return 0;
  std::string upper;
  for (char c : stem.substr(0, 3)) upper += Upper(c);
  if (stem.size() == 3) {
    return upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL" ? 3 : 0;
  }
  return (upper == "COM" || upper == "LPT") && IsDeviceDigit(stem[3]) ? 4 : 0;
}

size_t TrailingRun(std::string_view name) {
  size_t run = 0;
  while (run < name.size() && IsDotOrBlank(name[name.size() - 1 - run])) ++run;
  return run;
}

void AddReason(std::string& reasons, const std::string& reason) {
  if (!reasons.empty()) reasons += "; ";
  reasons += reason;
}

}  // namespace

std::string InvalidNameReason(std::string_view name) {
  if (name.empty()) return "empty";
  std::string reasons;
  size_t controls = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    if (!IsControl(name[i])) continue;
    if (controls++ == 0) {
      auto byte = static_cast<uint8_t>(name[i]);
      const char* digits = "0123456789ABCDEF";
      reasons = std::string("control character 0x") + digits[byte >> 4] + digits[byte & 0xF] +
                " at " + std::to_string(i);
    }
  }
  // Every control character would be a reason of its own; a name full of them stays one line.
  if (controls > 1) reasons += " (and " + std::to_string(controls - 1) + " more)";
  if (size_t device = ReservedDeviceLength(name); device != 0) {
    std::string upper;
    for (char c : name.substr(0, device)) upper += Upper(c);
    AddReason(reasons, "reserved device name " + upper);
  }
  if (TrailingRun(name) != 0) {
    AddReason(reasons, name.back() == '.' ? "ends in \".\"" : "ends in \" \"");
  }
  return reasons;
}

void ReplaceControlCharacters(char* name, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    if (IsControl(name[i])) name[i] = '-';
  }
}

void BreakReservedDeviceName(char* name, size_t size) {
  if (size_t device = ReservedDeviceLength(std::string_view(name, size)); device != 0) {
    name[device - 1] = '-';
  }
}

void ReplaceTrailingDotsAndBlanks(char* name, size_t size) {
  size_t run = TrailingRun(std::string_view(name, size));
  for (size_t i = size - run; i < size; ++i) name[i] = '-';
}

char FoldLetterCase(char c) {
  auto byte = static_cast<uint8_t>(c);
  if ((byte >= 'a' && byte <= 'z') || (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7)) {
    return static_cast<char>(byte - 0x20);
  }
  switch (byte) {
    case 0x9A:
    case 0x9C:
    case 0x9E:
      return static_cast<char>(byte - 0x10);
    case 0xFF:
      return static_cast<char>(0x9F);
    default:
      return c;
  }
}

std::string ReaderNameKey(std::string_view body) {
  std::string key(body.substr(0, NameLength(body)));
  for (char& c : key) c = FoldLetterCase(c);
  return key;
}

void StrictRepairName(std::string& body) {
  size_t size = NameLength(body);
  ReplaceControlCharacters(body.data(), size);
  BreakReservedDeviceName(body.data(), size);
  ReplaceTrailingDotsAndBlanks(body.data(), size);
}

}  // namespace qef
