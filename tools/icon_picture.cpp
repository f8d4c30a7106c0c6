#include "tools/icon_picture.h"

#include <vector>

#include "tools/byte_order.h"

namespace qef {

namespace {

constexpr int kUnused = -2;

// The lines of a text that are neither blank nor comments, with their line numbers.
std::vector<std::pair<int, std::string_view>> ContentLines(std::string_view text) {
  std::vector<std::pair<int, std::string_view>> lines;
  int number = 0;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    if (line.empty() || line.front() == ';') continue;
    lines.emplace_back(number, line);
  }
  return lines;
}

std::string_view NextWord(std::string_view& line) {
  while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  size_t end = line.find(' ');
  std::string_view word = line.substr(0, end);
  line.remove_prefix(end == std::string_view::npos ? line.size() : end);
  return word;
}

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

std::optional<Rgb> ParseHexColour(std::string_view word) {
  if (word.size() != 6) return std::nullopt;
  uint8_t channels[3];
  for (int i = 0; i < 3; ++i) {
    auto high = HexDigit(word[2 * i]);
    auto low = HexDigit(word[2 * i + 1]);
    if (!high || !low) return std::nullopt;
    channels[i] = static_cast<uint8_t>(*high * 16 + *low);
  }
  return Rgb{channels[0], channels[1], channels[2]};
}

std::nullopt_t Fail(std::string* error, int line, const std::string& message) {
  if (error) *error = "line " + std::to_string(line) + ": " + message;
  return std::nullopt;
}

}  // namespace

std::optional<Legend> ParseLegend(std::string_view text, std::string* error) {
  Legend legend;
  legend.index_of.fill(kUnused);
  std::array<bool, kIconColours> seen{};
  bool has_transparent = false;
  for (auto [number, line] : ContentLines(text)) {
    std::string_view symbol = NextWord(line);
    std::string_view value = NextWord(line);
    if (symbol.size() != 1) return Fail(error, number, "expected one character");
    auto key = static_cast<uint8_t>(symbol[0]);
    if (legend.index_of[key] != kUnused) {
      return Fail(error, number, "character defined twice");
    }
    if (value == "transparent") {
      legend.index_of[key] = kTransparentPixel;
      has_transparent = true;
      continue;
    }
    if (value.size() < 1 || value.size() > 2 ||
        value.find_first_not_of("0123456789") != value.npos) {
      return Fail(error, number, "expected a palette index or \"transparent\"");
    }
    int index = std::stoi(std::string(value));
    auto colour = ParseHexColour(NextWord(line));
    if (index >= kIconColours || seen[index] || !colour) {
      return Fail(error, number, "expected a new index below 16 and a colour rrggbb");
    }
    seen[index] = true;
    legend.palette[index] = *colour;
    legend.index_of[key] = index;
  }
  for (int i = 0; i < kIconColours; ++i) {
    if (!seen[i]) return Fail(error, 0, "palette index " + std::to_string(i) + " missing");
  }
  if (!has_transparent) return Fail(error, 0, "no transparent character");
  return legend;
}

std::optional<IconPixels> ParsePicture(std::string_view text, const Legend& legend,
                                       std::string* error) {
  IconPixels pixels{};
  auto lines = ContentLines(text);
  if (lines.size() != kIconSize) {
    return Fail(error, lines.empty() ? 0 : lines.back().first,
                "expected 32 rows, found " + std::to_string(lines.size()));
  }
  for (int y = 0; y < kIconSize; ++y) {
    auto [number, line] = lines[y];
    if (line.size() != kIconSize) {
      return Fail(error, number, "expected 32 characters, found " + std::to_string(line.size()));
    }
    for (int x = 0; x < kIconSize; ++x) {
      int index = legend.index_of[static_cast<uint8_t>(line[x])];
      if (index == kUnused) {
        return Fail(error, number, std::string("character '") + line[x] + "' not in the legend");
      }
      pixels[y * kIconSize + x] = index;
    }
  }
  return pixels;
}

std::string BuildIconFile(const IconPixels& pixels, const Legend& legend) {
  std::string out;
  // ICONDIR
  PutLe16(out, 0);
  PutLe16(out, 1);
  PutLe16(out, 1);
  // ICONDIRENTRY
  PutU8(out, kIconSize);
  PutU8(out, kIconSize);
  PutU8(out, kIconColours);
  PutU8(out, 0);
  PutLe16(out, 1);
  PutLe16(out, 4);
  PutLe32(out, kIconImageBytes);
  PutLe32(out, kIconFileHeaderBytes);
  // BITMAPINFOHEADER: the height counts the colour bitmap and the mask.
  constexpr int kColourBytes = kIconSize * kIconSize / 2;
  constexpr int kMaskBytes = kIconSize * kIconSize / 8;
  PutLe32(out, 40);
  PutLe32(out, kIconSize);
  PutLe32(out, 2 * kIconSize);
  PutLe16(out, 1);
  PutLe16(out, 4);
  PutLe32(out, 0);  // BI_RGB
  PutLe32(out, kColourBytes + kMaskBytes);
  PutLe32(out, 0);
  PutLe32(out, 0);
  PutLe32(out, 0);
  PutLe32(out, 0);
  for (const Rgb& colour : legend.palette) {
    PutU8(out, colour.b);
    PutU8(out, colour.g);
    PutU8(out, colour.r);
    PutU8(out, 0);
  }
  for (int y = kIconSize - 1; y >= 0; --y) {
    for (int x = 0; x < kIconSize; x += 2) {
      int left = pixels[y * kIconSize + x];
      int right = pixels[y * kIconSize + x + 1];
      PutU8(out, (left < 0 ? 0 : left) << 4 | (right < 0 ? 0 : right));
    }
  }
  for (int y = kIconSize - 1; y >= 0; --y) {
    for (int byte = 0; byte < kIconSize / 8; ++byte) {
      uint32_t bits = 0;
      for (int bit = 0; bit < 8; ++bit) {
        if (pixels[y * kIconSize + byte * 8 + bit] == kTransparentPixel) bits |= 0x80u >> bit;
      }
      PutU8(out, bits);
    }
  }
  return out;
}

}  // namespace qef
