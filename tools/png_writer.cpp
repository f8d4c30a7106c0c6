#include "tools/png_writer.h"

#include <algorithm>
#include <array>

namespace qef {

namespace {

void PutBe32(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void PutChunk(std::string& out, std::string_view type, std::string_view data) {
  PutBe32(out, static_cast<uint32_t>(data.size()));
  std::string checked(type);
  checked.append(data);
  out.append(checked);
  PutBe32(out, Crc32(checked));
}

}  // namespace

uint32_t Crc32(std::string_view data) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> entries{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[n] = c;
    }
    return entries;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (char byte : data) crc = table[(crc ^ static_cast<uint8_t>(byte)) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

uint32_t Adler32(std::string_view data) {
  uint32_t a = 1, b = 0;
  for (char byte : data) {
    a = (a + static_cast<uint8_t>(byte)) % 65521;
    b = (b + a) % 65521;
  }
  return b << 16 | a;
}

std::string EncodePng(const Raster& picture) {
  std::string raw;  // each row: filter type 0, then the pixels
  for (int y = 0; y < picture.height(); ++y) {
    raw += '\0';
    for (int x = 0; x < picture.width(); ++x) {
      Rgb pixel = picture.Get(x, y);
      raw += static_cast<char>(pixel.r);
      raw += static_cast<char>(pixel.g);
      raw += static_cast<char>(pixel.b);
    }
  }

  std::string zlib = "\x78\x01";  // deflate, 32 KiB window, no dictionary
  constexpr size_t kMaxStored = 65535;
  size_t offset = 0;
  do {
    size_t length = std::min(kMaxStored, raw.size() - offset);
    bool last = offset + length == raw.size();
    zlib += static_cast<char>(last ? 1 : 0);  // BFINAL, BTYPE 00 (stored)
    zlib += static_cast<char>(length & 0xFF);
    zlib += static_cast<char>(length >> 8);
    zlib += static_cast<char>(~length & 0xFF);
    zlib += static_cast<char>((~length >> 8) & 0xFF);
    zlib.append(raw, offset, length);
    offset += length;
  } while (offset < raw.size());
  PutBe32(zlib, Adler32(raw));

  std::string header;
  PutBe32(header, static_cast<uint32_t>(picture.width()));
  PutBe32(header, static_cast<uint32_t>(picture.height()));
  header +=
      std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace

  std::string png = "\x89PNG\r\n\x1A\n";
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", zlib);
  PutChunk(png, "IEND", "");
  return png;
}

}  // namespace qef
