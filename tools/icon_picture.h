#pragma once

// Icon pictures kept as text: a legend maps characters to the 16 colours of the standard Windows
// palette or to transparency, and a picture is 32 rows of 32 such characters, top row first.
// Lines starting with ';' are comments in both files.
//
// The icon file written from a picture holds one 32 x 32 image of 16 colours:
//   - ICONDIR (6 bytes): reserved 0, type 1 (icon), count 1
//   - ICONDIRENTRY (16 bytes): width 32, height 32, 16 colours, reserved 0, planes 1,
//     4 bits per pixel, image size 744, image offset 22
//   - the image (744 bytes), as the resource compiler stores it in an RT_ICON resource:
//     BITMAPINFOHEADER (40 bytes, height 64: colour bitmap and mask), 16 RGBQUAD palette entries
//     (64 bytes), the colour bitmap (32 rows of 16 bytes, bottom row first, left pixel in the high
//     nibble) and the mask (32 rows of 4 bytes, bottom row first, left pixel in the top bit).
// A transparent pixel has colour 0 and mask bit 1; every other pixel has mask bit 0.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/raster.h"

namespace qef {

inline constexpr int kIconSize = 32;
inline constexpr int kIconColours = 16;
inline constexpr int kIconImageBytes = 744;
inline constexpr int kIconFileHeaderBytes = 22;
inline constexpr int kIconFileBytes = kIconFileHeaderBytes + kIconImageBytes;
inline constexpr int kTransparentPixel = -1;

struct Legend {
  std::array<Rgb, kIconColours> palette{};
  // The palette index of each character, or kTransparentPixel; -2 for characters not used.
  std::array<int, 256> index_of{};
};

// Row-major palette indices, top row first; kTransparentPixel where the picture is see-through.
using IconPixels = std::array<int, kIconSize * kIconSize>;

// Both parsers return nothing and set `error` to a line-numbered message on the first fault.
std::optional<Legend> ParseLegend(std::string_view text, std::string* error);
std::optional<IconPixels> ParsePicture(std::string_view text, const Legend& legend,
                                       std::string* error);

std::string BuildIconFile(const IconPixels& pixels, const Legend& legend);

}  // namespace qef
