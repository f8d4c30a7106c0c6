#pragma once

// The pictures of the animation clip "QSPIN": a gold coin stamped with a red Q on both faces,
// spinning about its upright axis. The faces are alike, so a half turn brings back the first
// picture, and 16 frames over a half turn loop without a jump.

#include <array>
#include <cstdint>
#include <vector>

#include "tools/raster.h"

namespace qef {

inline constexpr int kQspinWidth = 80;
inline constexpr int kQspinHeight = 60;
inline constexpr int kQspinFrames = 16;
// The top-left pixel of every frame has this colour: the animation control's transparent
// colour, and the classic dialog grey for players that do not key it out.
inline constexpr uint8_t kQspinBackground = 0;

struct QspinPictures {
  std::array<Rgb, 256> palette{};
  // kQspinFrames frames of palette indices, each kQspinWidth x kQspinHeight, top row first.
  std::vector<std::vector<uint8_t>> frames;
};

QspinPictures DrawQspin();

}  // namespace qef
