// list_names FILE: prints the name records of an export file, one line each: the record's byte
// offset, its kind and its body as text. Bytes outside printable ASCII are written as \xNN, the
// zero byte as \0, and a backslash or quote with a backslash before it, so two listings compare
// byte for byte and a damaged file shows exactly what it holds.
//
// The file is walked by its record framing (record_frame.h). Damage ends the walk with a note on
// stderr; nothing is read past the end of the file and no body is held beyond what the file
// holds.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "exportfile/ef_rec_type.h"
#include "exportfile/record_frame.h"

namespace qef {
namespace {

constexpr size_t kTestSize = 50;  // the signature must lie within this many leading bytes
// A longer name is cut in the listing: real names are short, a damaged length need not be.
constexpr uint64_t kShownBodyLimit = 4096;

const char* KindOf(uint16_t type) {
  switch (type) {
    case AEF_REC_APPNAME:
      return "application";
    case AEF_REC_SPATH:
      return "source path";
    case AEF_REC_MODNAME:
      return "module";
    default:
      return nullptr;
  }
}

std::string Escaped(const std::string& body) {
  std::string text;
  for (unsigned char c : body) {
    if (c == 0) {
      text += "\\0";
    } else if (c == '\\' || c == '"') {
      text += '\\';
      text += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      text += static_cast<char>(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      text += hex;
    }
  }
  return text;
}

int ListNames(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "list_names: cannot open %s\n", path);
    return 1;
  }
  in.seekg(0, std::ios::end);
  const auto end = static_cast<uint64_t>(static_cast<std::streamoff>(in.tellg()));
  in.seekg(0, std::ios::beg);
  if (!in) {
    std::fprintf(stderr, "list_names: cannot read %s\n", path);
    return 1;
  }

  // The repair would refuse such a file; the listing still walks it, which helps with damage.
  char head[kTestSize] = {};
  const bool long_enough = end >= kTestSize && in.read(head, kTestSize).good();
  if (!long_enough || std::string(head, kTestSize).find("Export File") == std::string::npos) {
    std::fprintf(stderr, "list_names: %s is not an export file; listing its records anyway\n",
                 path);
  } else if (static_cast<unsigned char>(head[6]) != 0x80) {
    std::fprintf(stderr, "list_names: %s is a compressed export file; its records are unreadable\n",
                 path);
    return 0;
  }
  in.clear();

  uint64_t offset = 0;
  while (offset < end) {
    if (end - offset < kRecordHeaderSize) {
      std::fprintf(stderr, "list_names: %llu trailing bytes at offset %llu, no whole record\n",
                   static_cast<unsigned long long>(end - offset),
                   static_cast<unsigned long long>(offset));
      return 0;
    }
    char header[kRecordHeaderSize];
    in.seekg(static_cast<std::streamoff>(offset));
    if (!in.read(header, kRecordHeaderSize)) {
      std::fprintf(stderr, "list_names: read error at offset %llu\n",
                   static_cast<unsigned long long>(offset));
      return 1;
    }
    const RecordFrame frame = DecodeRecordFrame(header);
    const uint16_t type = frame.type;
    const uint64_t length = frame.length;
    const uint64_t available = end - offset - kRecordHeaderSize;
    const uint64_t stored = length < available ? length : available;

    if (const char* kind = KindOf(type)) {
      const uint64_t shown = stored < kShownBodyLimit ? stored : kShownBodyLimit;
      std::string body(static_cast<size_t>(shown), '\0');
      if (shown > 0 && !in.read(body.data(), static_cast<std::streamsize>(shown))) {
        std::fprintf(stderr, "list_names: read error at offset %llu\n",
                     static_cast<unsigned long long>(offset));
        return 1;
      }
      std::string suffix;
      if (shown < stored) suffix += " ... (" + std::to_string(stored) + " bytes)";
      if (stored < length) {
        suffix += " (cut short: " + std::to_string(stored) + " of " + std::to_string(length) +
                  " bytes in the file)";
      }
      std::printf("%10llu  %-11s  \"%s\"%s\n", static_cast<unsigned long long>(offset), kind,
                  Escaped(body).c_str(), suffix.c_str());
    }
    if (stored < length) {
      std::fprintf(stderr, "list_names: the record at offset %llu runs %llu bytes past the end\n",
                   static_cast<unsigned long long>(offset),
                   static_cast<unsigned long long>(length - stored));
      return 0;
    }
    offset += kRecordHeaderSize + length;
  }
  return 0;
}

}  // namespace
}  // namespace qef

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("Usage: list_names FILE\n", stderr);
    return 2;
  }
  return qef::ListNames(argv[1]);
}
