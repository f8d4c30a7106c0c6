#pragma once

// An AVI file holding one RLE8-compressed video stream and nothing else, as the Windows animation
// control plays it. All numbers little-endian; every chunk is a four-character code, a 32-bit
// size and the data, padded to an even length.
//
//   RIFF 'AVI '
//     LIST 'hdrl'
//       'avih' (56 bytes): microseconds per frame, maximum bytes per second, padding 0,
//              flags AVIF_HASINDEX, total frames, initial frames 0, streams 1, suggested buffer
//              size, width, height, 4 reserved words
//       LIST 'strl'
//         'strh' (56 bytes): type 'vids', handler 'mrle', flags 0, priority 0, language 0,
//                initial frames 0, scale, rate (rate / scale = frames per second), start 0,
//                length in frames, suggested buffer size, quality -1, sample size 0,
//                frame rectangle (four 16-bit values: 0, 0, width, height)
//         'strf' (40 + 1024 bytes): BITMAPINFOHEADER (width, height, 1 plane, 8 bits, BI_RLE8,
//                image size width x height, 256 colours used) and 256 RGBQUAD palette entries
//     LIST 'movi'
//       '00dc' per frame: the RLE8 data of the whole frame (every frame a key frame)
//     'idx1': per frame '00dc', AVIIF_KEYFRAME, the chunk's offset counted from the 'movi' code,
//            the data size

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/raster.h"

namespace qef {

inline constexpr uint32_t kBiRle8 = 1;
inline constexpr uint32_t kAvifHasIndex = 0x10;
inline constexpr uint32_t kAviifKeyFrame = 0x10;

struct AviClip {
  int width = 0;
  int height = 0;
  uint32_t micro_sec_per_frame = 0;
  uint32_t rate = 0;
  uint32_t scale = 1;
  std::array<Rgb, 256> palette{};
  std::vector<std::string> frames;  // RLE8 data, one per frame
};

std::string BuildAvi(const AviClip& clip);

// Reads back what BuildAvi writes (one RLE8 video stream); nothing, and a message in `error`,
// for anything else.
std::optional<AviClip> ReadAvi(std::string_view file, std::string* error);

}  // namespace qef
