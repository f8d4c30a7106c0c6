#pragma once

// A 5 x 7 pixel font of capitals, digits and a few signs, for labels on the review sheets.

#include <string_view>

#include "tools/raster.h"

namespace qef {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
inline constexpr int kGlyphAdvance = 6;

// Draws `text` with its top-left corner at (x, y), each font pixel a `scale` x `scale` square.
// Characters without a glyph (lower case is drawn as upper case) show as a box.
void DrawText(Raster& picture, int x, int y, std::string_view text, int scale, Rgb colour);

inline int TextWidth(std::string_view text, int scale) {
  return text.empty() ? 0 : (static_cast<int>(text.size()) * kGlyphAdvance - 1) * scale;
}

}  // namespace qef
