#include "exportfile/testing/reference_repair.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "exportfile/ef_rec_type.h"

namespace qef::testing {

namespace {

// Every record: 2 bytes type code, 4 bytes body length, both little-endian, then the body.
constexpr size_t kFramingSize = 6;

constexpr size_t kMinimumFileSize = 50;
constexpr char kSignature[] = "Export File";
constexpr size_t kCompressionFlagOffset = 6;
constexpr unsigned char kUncompressedFlag = 0x80;

// The hyphen stands in for a Bad character without a Good partner, so the body keeps its length.
constexpr char kMissingPartner = '-';
// Bytes missing at the end of a cut body read as spaces.
constexpr char kMissingByte = ' ';

unsigned Byte(const std::string& bytes, size_t at) { return static_cast<unsigned char>(bytes[at]); }

uint16_t TypeCodeAt(const std::string& bytes, size_t at) {
  return static_cast<uint16_t>(Byte(bytes, at) | Byte(bytes, at + 1) << 8);
}

uint32_t BodyLengthAt(const std::string& bytes, size_t at) {
  return static_cast<uint32_t>(Byte(bytes, at)) | static_cast<uint32_t>(Byte(bytes, at + 1)) << 8 |
         static_cast<uint32_t>(Byte(bytes, at + 2)) << 16 |
         static_cast<uint32_t>(Byte(bytes, at + 3)) << 24;
}

bool IsBlank(const std::string& value) {
  return value.find_first_not_of(" \t\r\n") == std::string::npos;
}

// Only ASCII letters fold; every other byte compares as it is.
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

// One pass per Bad character, in order, each over the body as the earlier passes left it.
void ReplaceCharacters(std::string& body, const std::string& bad, const std::string& good) {
  for (size_t n = 0; n < bad.size(); ++n) {
    const char partner = n < good.size() ? good[n] : kMissingPartner;
    std::replace(body.begin(), body.end(), bad[n], partner);
  }
}

// Tries the counters 1 to 99 over the last bytes of a name that ends at `end` until `same` finds
// no earlier body equal to it. A name that ends at 0 is left alone.
void CountUntilDistinct(std::string& body, size_t end,
                        const std::vector<std::string>& earlier_bodies,
                        bool (*same)(const std::string&, const std::string&)) {
  if (end == 0) return;
  for (int counter = 1;; ++counter) {
    const bool taken = std::any_of(earlier_bodies.begin(), earlier_bodies.end(),
                                   [&](const std::string& earlier) { return same(body, earlier); });
    if (!taken) return;
    if (counter < 10) {
      body[end - 1] = static_cast<char>('0' + counter);
    } else if (end >= 2) {
      body[end - 2] = static_cast<char>('0' + counter / 10);
      body[end - 1] = static_cast<char>('0' + counter % 10);
    }
    // A one-character name has no room for two digits: it keeps the 9.
    if (counter == 99) return;
  }
}

// The name is the bytes before the first zero byte; a body without one gets no counter, and the
// whole body is compared.
void MakeModuleNameDistinct(std::string& body, const std::vector<std::string>& earlier_bodies) {
  const size_t zero = body.find('\0');
  CountUntilDistinct(body, zero == std::string::npos ? 0 : zero, earlier_bodies, EqualIgnoringCase);
}

// The strict repair's rules, written out again from their description.

// A name runs to the first zero byte of its body, or to the body's end.
size_t NameEnd(const std::string& body) { return std::min(body.find('\0'), body.size()); }

bool IsControlCharacter(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x01 && byte <= 0x1F;
}

// CON, PRN, AUX, NUL, and COM or LPT with a digit or one of the superscripts 1, 2 and 3.
bool IsDeviceName(const std::string& stem) {
  std::string upper;
  for (char c : stem) upper += AsciiUpper(c);
  for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
    if (upper == device) return true;
  }
  if (upper.size() != 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0)) {
    return false;
  }
  const auto last = static_cast<unsigned char>(upper[3]);
  return (last >= '0' && last <= '9') || last == 0xB9 || last == 0xB2 || last == 0xB3;
}

// Control characters become hyphens, a device name before the first "." loses its last letter
// to a hyphen, and so does every "." and blank at the end of the name.
void MendName(std::string& body) {
  const size_t end = NameEnd(body);
  for (size_t i = 0; i < end; ++i) {
    if (IsControlCharacter(body[i])) body[i] = '-';
  }
  const size_t stem = std::min(body.find('.'), end);
  if (stem > 0 && IsDeviceName(body.substr(0, stem))) body[stem - 1] = '-';
  for (size_t i = end; i > 0 && (body[i - 1] == '.' || body[i - 1] == ' '); --i) body[i - 1] = '-';
}

// Letters as the other reader folds them: ASCII, and the Windows-1252 letters by their pairs.
unsigned char ReaderUpper(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 'a' && byte <= 'z') return static_cast<unsigned char>(byte - 0x20);
  if (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7) return static_cast<unsigned char>(byte - 0x20);
  constexpr unsigned char kPairs[][2] = {{0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F}};
  for (const auto& pair : kPairs) {
    if (byte == pair[0]) return pair[1];
  }
  return byte;
}

bool SameReaderName(const std::string& a, const std::string& b) {
  const size_t length = NameEnd(a);
  if (NameEnd(b) != length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (ReaderUpper(a[i]) != ReaderUpper(b[i])) return false;
  }
  return true;
}

// The counter on the name as the other reader sees it; an empty name is left alone.
void MakeReaderNameDistinct(std::string& body, const std::vector<std::string>& earlier_bodies) {
  CountUntilDistinct(body, NameEnd(body), earlier_bodies, SameReaderName);
}

}  // namespace

std::string EffectiveSetting(const std::optional<std::string>& stored,
                             const std::string& fallback) {
  if (!stored || IsBlank(*stored)) return fallback;
  return *stored;
}

bool IsAcceptedExportFile(const std::string& input) {
  if (input.size() < kMinimumFileSize) return false;
  if (input.substr(0, kMinimumFileSize).find(kSignature) == std::string::npos) return false;
  return Byte(input, kCompressionFlagOffset) == kUncompressedFlag;
}

std::string ReferenceRepair(const std::string& input, const std::string& bad,
                            const std::string& good, bool strict_names) {
  const size_t file_size = input.size();
  std::string output;
  std::vector<std::string> module_bodies;
  size_t position = 0;
  while (position < file_size) {
    // Too short for a type and a length: kept as it is.
    if (file_size - position < kFramingSize) {
      output += input.substr(position);
      break;
    }
    const size_t record_start = position;
    const uint16_t type = TypeCodeAt(input, record_start);
    const uint32_t length = BodyLengthAt(input, record_start + 2);
    const size_t body_start = record_start + kFramingSize;
    const size_t available = file_size - body_start;

    std::string body;
    if (length <= available) {
      body = input.substr(body_start, length);
      position = body_start + length;
    } else if (length <= file_size) {
      // A cut last body: padded to its declared length.
      body = input.substr(body_start) + std::string(length - available, kMissingByte);
      position = file_size;
    } else {
      // A length beyond anything the file could hold: the rest is copied untouched.
      output += input.substr(record_start);
      break;
    }

    if (type == AEF_REC_APPNAME || type == AEF_REC_SPATH || type == AEF_REC_MODNAME) {
      ReplaceCharacters(body, bad, good);
    }
    if (strict_names && (type == AEF_REC_APPNAME || type == AEF_REC_MODNAME)) MendName(body);
    if (type == AEF_REC_MODNAME) {
      if (strict_names) {
        MakeReaderNameDistinct(body, module_bodies);
      } else {
        MakeModuleNameDistinct(body, module_bodies);
      }
      module_bodies.push_back(body);
    }
    // The type and length bytes go out exactly as read.
    output += input.substr(record_start, kFramingSize);
    output += body;
  }
  return output;
}

}  // namespace qef::testing
