// make_icon LEGEND PICTURE OUT.ico: compiles one pixel-art picture into an icon file with one
// 32 x 32 image of 16 colours (the format is described in icon_picture.h).

#include <cstdio>
#include <string>

#include "tools/icon_picture.h"
#include "tools/tool_files.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_icon LEGEND PICTURE OUT.ico\n");
    return 2;
  }
  auto legend_text = qef::ReadWholeFile(argv[1]);
  auto picture_text = qef::ReadWholeFile(argv[2]);
  if (!legend_text || !picture_text) {
    std::fprintf(stderr, "make_icon: cannot read %s\n", legend_text ? argv[2] : argv[1]);
    return 1;
  }
  std::string error;
  auto legend = qef::ParseLegend(*legend_text, &error);
  if (!legend) {
    std::fprintf(stderr, "%s:%s\n", argv[1], error.c_str());
    return 1;
  }
  auto pixels = qef::ParsePicture(*picture_text, *legend, &error);
  if (!pixels) {
    std::fprintf(stderr, "%s:%s\n", argv[2], error.c_str());
    return 1;
  }
  if (!qef::WriteWholeFile(argv[3], qef::BuildIconFile(*pixels, *legend))) {
    std::fprintf(stderr, "make_icon: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
