#include "tools/png_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "tools/byte_order.h"

namespace qef {
namespace {

uint32_t GetBe32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

TEST(PngWriterTest, ChecksumsMatchPublishedValues) {
  EXPECT_EQ(Crc32("IEND"), 0xAE426082u);
  EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(Adler32("Wikipedia"), 0x11E60398u);
}

// Walks the chunks, checks every CRC, and unpacks the stored deflate blocks of IDAT.
TEST(PngWriterTest, WritesChunksWithCrcsAndStoredBlocksHoldingTheRows) {
  Raster picture(200, 120, Rgb{1, 2, 3});  // more than one 64 KiB block of rows
  picture.Set(199, 119, Rgb{200, 100, 50});
  std::string png = EncodePng(picture);
  ASSERT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1A\n"));

  std::string types, zlib;
  for (size_t at = 8; at + 12 <= png.size();) {
    uint32_t length = GetBe32(png, at);
    std::string type = png.substr(at + 4, 4);
    std::string data = png.substr(at + 8, length);
    EXPECT_EQ(GetBe32(png, at + 8 + length), Crc32(type + data)) << type;
    if (type == "IHDR") {
      EXPECT_EQ(GetBe32(data, 0), 200u);
      EXPECT_EQ(GetBe32(data, 4), 120u);
      EXPECT_EQ(data.substr(8), std::string("\x08\x02\x00\x00\x00", 5));
    }
    if (type == "IDAT") zlib += data;
    types += type + " ";
    at += 12 + length;
  }
  EXPECT_EQ(types, "IHDR IDAT IEND ");

  ASSERT_GE(zlib.size(), 6u);
  EXPECT_EQ((static_cast<uint8_t>(zlib[0]) * 256 + static_cast<uint8_t>(zlib[1])) % 31, 0);
  std::string raw;
  size_t at = 2;
  int blocks = 0;
  bool last = false;
  while (!last && at + 5 <= zlib.size()) {
    last = zlib[at] & 1;
    EXPECT_EQ(zlib[at] & 6, 0) << "stored blocks only";
    uint32_t length = GetLe16(zlib, at + 1);
    EXPECT_EQ(length ^ GetLe16(zlib, at + 3), 0xFFFFu);
    raw += zlib.substr(at + 5, length);
    at += 5 + length;
    ++blocks;
  }
  EXPECT_TRUE(last);
  EXPECT_EQ(blocks, 2);
  EXPECT_EQ(GetBe32(zlib, at), Adler32(raw));
  ASSERT_EQ(raw.size(), 120u * (1 + 200 * 3));
  EXPECT_EQ(raw[0], '\0');
  EXPECT_EQ(raw.substr(1, 3), std::string("\x01\x02\x03"));
  EXPECT_EQ(raw.substr(raw.size() - 3), std::string("\xC8\x64\x32"));
}

}  // namespace
}  // namespace qef
