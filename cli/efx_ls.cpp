#include "cli/efx_ls.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/byte_text.h"
#include "fsutil/extended_directory.h"
#include "runtime/directory_functions.h"
#include "runtime/display_text.h"
#include "runtime/international.h"
#include "runtime/runtime.h"

namespace qef {

namespace {

constexpr char kLsUsage[] = "Usage: efx ls [--json] PATTERN [ATTRIBUTES]\n";

struct Column {
  const char* header;
  const char* key;  // the JSON key
  size_t position;
  bool right;  // numbers align to the right
};

// The row's twelve values in their order.
constexpr Column kColumns[] = {
    {"Name", "name", kRowName, false},
    {"Size", "size", kRowSize, true},
    {"Written", "write_date", kRowWriteDate, false},
    {"Time", "write_time", kRowWriteTime, false},
    {"Attr", "attributes", kRowAttributes, false},
    {"Accessed", "access_date", kRowAccessDate, false},
    {"Time", "access_time", kRowAccessTime, false},
    {"Created", "creation_date", kRowCreationDate, false},
    {"Time", "creation_time", kRowCreationTime, false},
    {"Short name", "short_name", kRowShortName, false},
    {"Bits", "attribute_bits", kRowAttributeBits, true},
    {"Seconds", "write_seconds", kRowWriteSeconds, true},
};

// A whole argument of decimal digits or 0x and hexadecimal digits that fits 32 bits.
std::optional<uint32_t> ParseNumber(const std::string& text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : digits) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

std::string CellText(const Usual& value) {
  if (value.Type() == DWORD) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value.AsDword()));
    return text;
  }
  return AsString(value);
}

// Names are ANSI bytes of unknown code page: each byte becomes the character of its number, as
// in the other commands' JSON.
std::string JsonString(const std::string& text) { return nlohmann::json(BytesAsUtf8(text)).dump(); }

std::string JsonValue(const Usual& value) {
  switch (value.Type()) {
    case DATE: {
      const Date date = value.AsDate();
      if (date.IsNull()) return "null";
      char text[16];
      std::snprintf(text, sizeof text, "\"%04d-%02d-%02d\"", date.year, date.month, date.day);
      return text;
    }
    case STRING:
      return JsonString(value.AsText());
    default:
      return NTrim(value);
  }
}

void PrintJson(const Array& rows, std::FILE* out) {
  std::fputs("[", out);
  for (size_t r = 0; r < rows.size(); ++r) {
    const Array& row = rows[r].AsArray();
    std::fputs(r == 0 ? "\n  {" : ",\n  {", out);
    for (size_t c = 0; c < std::size(kColumns); ++c) {
      std::fprintf(out, "%s\"%s\": %s", c == 0 ? "" : ", ", kColumns[c].key,
                   JsonValue(row[kColumns[c].position - 1]).c_str());
    }
    std::fputs("}", out);
  }
  std::fputs(rows.empty() ? "]\n" : "\n]\n", out);
}

void PrintTable(const Array& rows, std::FILE* out, TerminalEncoding encoding) {
  std::vector<std::vector<std::string>> cells;
  std::vector<size_t> widths;
  for (const Column& column : kColumns) widths.push_back(std::string(column.header).size());
  for (const Usual& row : rows) {
    std::vector<std::string> line;
    for (size_t c = 0; c < std::size(kColumns); ++c) {
      line.push_back(DisplayText(CellText(row.AsArray()[kColumns[c].position - 1]), encoding));
      widths[c] = std::max(widths[c], line.back().size());
    }
    cells.push_back(std::move(line));
  }
  auto print_line = [&](const std::vector<std::string>& line) {
    std::string text;
    for (size_t c = 0; c < line.size(); ++c) {
      const std::string padding(widths[c] - line[c].size(), ' ');
      if (c > 0) text += "  ";
      text += kColumns[c].right ? padding + line[c] : line[c] + padding;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    std::fprintf(out, "%s\n", text.c_str());
  };
  std::vector<std::string> header;
  for (const Column& column : kColumns) header.push_back(column.header);
  print_line(header);
  for (const auto& line : cells) print_line(line);
}

}  // namespace

int RunLs(const std::vector<std::string>& args, EfxEnvironment& env) {
  bool json = false;
  bool options_done = false;
  std::vector<std::string> operands;
  for (const std::string& arg : args) {
    if (!options_done && arg == "--json") {
      json = true;
    } else if (!options_done && arg == "--") {
      options_done = true;
    } else if (!options_done && arg.size() > 1 && arg[0] == '-') {
      std::fprintf(env.err, "efx: unknown option %s\n%s", DisplayText(arg, env.encoding).c_str(),
                   kLsUsage);
      return kExitUsage;
    } else {
      operands.push_back(arg);
    }
  }
  if (operands.empty() || operands.size() > 2) {
    std::fprintf(env.err, "efx: %s\n%s",
                 operands.empty() ? "no pattern given"
                                  : "too many arguments (quote the pattern so that the shell "
                                    "does not expand it)",
                 kLsUsage);
    return kExitUsage;
  }
  Usual attributes;
  if (operands.size() == 2) {
    std::optional<uint32_t> bits = ParseNumber(operands[1]);
    attributes = bits ? Usual::Dword(*bits) : Usual::String(operands[1]);
  }
  // Inside the program's run-time: its directory search and international settings.
  ScopedRuntime runtime(env.files, env.settings, env.ui);
  Array rows = ExtendedDirectory(operands[0], attributes);
  // Nothing matched, or no such folder: an empty listing. A folder that could not be read is
  // no listing at all.
  if (const uint32_t error = SearchError();
      rows.empty() && error != 0 && error != kSearchNoMatch && error != kSearchNoFolder) {
    std::fprintf(env.err, "efx: cannot read the folder of %s\n",
                 DisplayText(operands[0], env.encoding).c_str());
    return kExitFailed;
  }
  if (json) {
    PrintJson(rows, env.out);
  } else {
    PrintTable(rows, env.out, env.encoding);
  }
  return kExitOk;
}

}  // namespace qef
