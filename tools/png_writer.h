#pragma once

// Writes a picture as a PNG file: 8-bit RGB, no filtering, the zlib stream made of stored
// (uncompressed) deflate blocks. Review sheets are small, so compression is not worth a deflater.

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/raster.h"

namespace qef {

uint32_t Crc32(std::string_view data);
uint32_t Adler32(std::string_view data);
std::string EncodePng(const Raster& picture);

}  // namespace qef
