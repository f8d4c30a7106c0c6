// make_avi OUT.avi: draws the animation clip "QSPIN" and writes it as an RLE8 AVI file (the format
// is described in avi_file.h): 80 x 60 pixels, 16 frames at 15 frames per second.

#include <cstdio>

#include "tools/avi_file.h"
#include "tools/qspin_frames.h"
#include "tools/rle8.h"
#include "tools/tool_files.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_avi OUT.avi\n");
    return 2;
  }
  qef::QspinPictures pictures = qef::DrawQspin();
  qef::AviClip clip;
  clip.width = qef::kQspinWidth;
  clip.height = qef::kQspinHeight;
  clip.micro_sec_per_frame = 66667;
  clip.rate = 15;
  clip.scale = 1;
  clip.palette = pictures.palette;
  for (const auto& frame : pictures.frames) {
    clip.frames.push_back(qef::EncodeRle8(frame, clip.width, clip.height));
  }
  if (!qef::WriteWholeFile(argv[1], qef::BuildAvi(clip))) {
    std::fprintf(stderr, "make_avi: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
