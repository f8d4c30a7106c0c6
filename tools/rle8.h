#pragma once

// RLE8, the run-length compression of 8-bit device-independent bitmaps (BI_RLE8). Rows are
// stored bottom row first. A pair (count > 0, value) repeats value count times; 0 starts an
// escape: (0, 0) ends the row, (0, 1) ends the bitmap, (0, 2, dx, dy) moves the position, and
// (0, n >= 3) is followed by n literal bytes, padded to an even length.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qef {

// `pixels` holds `height` rows of `width` bytes, top row first. Every row ends with (0, 0) and
// the bitmap with (0, 1).
std::string EncodeRle8(const std::vector<uint8_t>& pixels, int width, int height);

// Returns the rows top row first; pixels never written stay 0. Nothing when the data runs past
// the bitmap or ends without (0, 1).
std::optional<std::vector<uint8_t>> DecodeRle8(std::string_view data, int width, int height);

}  // namespace qef
