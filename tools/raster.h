#pragma once

// An RGB picture in memory, for the review sheets the build writes.

#include <cstdint>
#include <vector>

namespace qef {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

class Raster {
 public:
  Raster(int width, int height, Rgb fill)
      : width_(width), height_(height), pixels_(width * height, fill) {}
  int width() const { return width_; }
  int height() const { return height_; }
  // Drawing outside the picture is ignored, so callers need not clip.
  void Set(int x, int y, Rgb colour) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) pixels_[y * width_ + x] = colour;
  }
  Rgb Get(int x, int y) const { return pixels_[y * width_ + x]; }
  void FillRect(int x, int y, int width, int height, Rgb colour) {
    for (int row = y; row < y + height; ++row) {
      for (int column = x; column < x + width; ++column) Set(column, row, colour);
    }
  }

 private:
  int width_;
  int height_;
  std::vector<Rgb> pixels_;
};

}  // namespace qef
