#include "tools/rle8.h"

namespace qef {

namespace {

constexpr int kMaxCount = 255;
constexpr int kMinLiteral = 3;  // shorter literals cannot use absolute mode

int RunLength(const uint8_t* row, int start, int width) {
  int end = start + 1;
  while (end < width && end - start < kMaxCount && row[end] == row[start]) ++end;
  return end - start;
}

void EncodeRow(const uint8_t* row, int width, std::string& out) {
  int x = 0;
  while (x < width) {
    int run = RunLength(row, x, width);
    if (run >= kMinLiteral) {
      out += static_cast<char>(run);
      out += static_cast<char>(row[x]);
      x += run;
      continue;
    }
    // Gather short runs until a run worth encoding begins.
    int end = x;
    while (end < width) {
      int next = RunLength(row, end, width);
      if (next >= kMinLiteral || end + next - x > kMaxCount) break;
      end += next;
    }
    int length = end - x;
    if (length >= kMinLiteral) {
      out += '\0';
      out += static_cast<char>(length);
      out.append(reinterpret_cast<const char*>(row + x), length);
      if (length % 2 != 0) out += '\0';
      x = end;
    } else {
      while (x < end) {
        int short_run = RunLength(row, x, end);
        out += static_cast<char>(short_run);
        out += static_cast<char>(row[x]);
        x += short_run;
      }
    }
  }
}

}  // namespace

std::string EncodeRle8(const std::vector<uint8_t>& pixels, int width, int height) {
  std::string out;
  for (int y = height - 1; y >= 0; --y) {
    EncodeRow(pixels.data() + static_cast<size_t>(y) * width, width, out);
    out.append("\0\0", 2);
  }
  out.append("\0\1", 2);
  return out;
}

std::optional<std::vector<uint8_t>> DecodeRle8(std::string_view data, int width, int height) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height, 0);
  int x = 0, y = 0;  // y counts rows from the bottom
  size_t at = 0;
  auto put = [&](uint8_t value) {
    if (x >= width || y >= height) return false;
    pixels[static_cast<size_t>(height - 1 - y) * width + x++] = value;
    return true;
  };
  while (at + 2 <= data.size()) {
    auto first = static_cast<uint8_t>(data[at]);
    auto second = static_cast<uint8_t>(data[at + 1]);
    at += 2;
    if (first > 0) {
      for (int i = 0; i < first; ++i) {
        if (!put(second)) return std::nullopt;
      }
    } else if (second == 0) {
      x = 0;
      ++y;
    } else if (second == 1) {
      return pixels;
    } else if (second == 2) {
      if (at + 2 > data.size()) return std::nullopt;
      x += static_cast<uint8_t>(data[at]);
      y += static_cast<uint8_t>(data[at + 1]);
      at += 2;
    } else {
      size_t padded = second + (second % 2);
      if (at + padded > data.size()) return std::nullopt;
      for (int i = 0; i < second; ++i) {
        if (!put(static_cast<uint8_t>(data[at + i]))) return std::nullopt;
      }
      at += padded;
    }
  }
  return std::nullopt;
}

}  // namespace qef
