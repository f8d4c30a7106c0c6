// make_contact_sheet OUT.png CLIP.avi ICON.ico...: one picture for a person to review the
// program's icons (enlarged four times over a checkerboard that shows transparency, at their
// real size beside, each with its name) and every frame of the animation clip, enlarged twice.
// It reads the generated files, so it shows what the build put into them.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tools/avi_file.h"
#include "tools/bitmap_font.h"
#include "tools/byte_order.h"
#include "tools/icon_picture.h"
#include "tools/png_writer.h"
#include "tools/rle8.h"
#include "tools/tool_files.h"

namespace qef {
namespace {

constexpr Rgb kSheet{255, 255, 255};
constexpr Rgb kInk{0, 0, 0};
constexpr Rgb kDialogGrey{192, 192, 192};
constexpr Rgb kCheckLight{236, 236, 236};
constexpr Rgb kCheckDark{204, 204, 204};

constexpr int kIconZoom = 4;
constexpr int kColumns = 8;
constexpr int kCellWidth = 170;
constexpr int kCellHeight = 172;
constexpr int kMargin = 12;
constexpr int kFrameZoom = 2;
constexpr int kFrameCellWidth = 168;

using IconImage = std::vector<std::optional<Rgb>>;  // nothing where transparent

std::optional<IconImage> ReadIcon(const std::string& bytes) {
  if (bytes.size() != static_cast<size_t>(kIconFileBytes) || GetLe16(bytes, 4) != 1) {
    return std::nullopt;
  }
  size_t image = GetLe32(bytes, 18);
  size_t palette_at = image + 40;
  size_t colour_at = palette_at + 4 * kIconColours;
  size_t mask_at = colour_at + kIconSize * kIconSize / 2;
  IconImage pixels(kIconSize * kIconSize);
  for (int y = 0; y < kIconSize; ++y) {
    int stored_row = kIconSize - 1 - y;
    for (int x = 0; x < kIconSize; ++x) {
      auto mask = static_cast<uint8_t>(bytes[mask_at + stored_row * 4 + x / 8]);
      if (mask & (0x80 >> (x % 8))) continue;
      auto pair = static_cast<uint8_t>(bytes[colour_at + stored_row * 16 + x / 2]);
      int index = x % 2 == 0 ? pair >> 4 : pair & 0x0F;
      size_t at = palette_at + 4 * index;
      pixels[y * kIconSize + x] =
          Rgb{static_cast<uint8_t>(bytes[at + 2]), static_cast<uint8_t>(bytes[at + 1]),
              static_cast<uint8_t>(bytes[at])};
    }
  }
  return pixels;
}

void DrawIcon(Raster& sheet, int left, int top, const IconImage& icon, int zoom, bool checkered) {
  for (int y = 0; y < kIconSize * zoom; ++y) {
    for (int x = 0; x < kIconSize * zoom; ++x) {
      const auto& pixel = icon[(y / zoom) * kIconSize + x / zoom];
      Rgb behind = !checkered ? kDialogGrey : ((x / 8 + y / 8) % 2 == 0) ? kCheckLight : kCheckDark;
      sheet.Set(left + x, top + y, pixel ? *pixel : behind);
    }
  }
}

int Run(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: make_contact_sheet OUT.png CLIP.avi ICON.ico...\n");
    return 2;
  }
  std::string error;
  auto clip_bytes = ReadWholeFile(argv[2]);
  auto clip = clip_bytes ? ReadAvi(*clip_bytes, &error) : std::nullopt;
  if (!clip) {
    std::fprintf(stderr, "make_contact_sheet: %s: %s\n", argv[2], error.c_str());
    return 1;
  }
  int icon_count = argc - 3;
  int icon_rows = (icon_count + kColumns - 1) / kColumns;
  int frame_rows = (static_cast<int>(clip->frames.size()) + kColumns - 1) / kColumns;
  int frame_cell_height = clip->height * kFrameZoom + 30;
  int width = 2 * kMargin + kColumns * kCellWidth;
  int height = kMargin + 30 + icon_rows * kCellHeight + 40 + frame_rows * frame_cell_height;
  Raster sheet(width, height, kSheet);

  DrawText(sheet, kMargin, kMargin, "ICONS: 4X AND REAL SIZE", 2, kInk);
  int top = kMargin + 30;
  for (int i = 0; i < icon_count; ++i) {
    std::string path = argv[3 + i];
    auto bytes = ReadWholeFile(path);
    auto icon = bytes ? ReadIcon(*bytes) : std::nullopt;
    if (!icon) {
      std::fprintf(stderr, "make_contact_sheet: %s is no 16-colour 32 x 32 icon\n", path.c_str());
      return 1;
    }
    int left = kMargin + (i % kColumns) * kCellWidth;
    int cell_top = top + (i / kColumns) * kCellHeight;
    DrawIcon(sheet, left, cell_top, *icon, kIconZoom, true);
    DrawIcon(sheet, left + kIconSize * kIconZoom + 4, cell_top, *icon, 1, false);
    std::string name = std::filesystem::path(path).stem().string();
    DrawText(sheet, left, cell_top + kIconSize * kIconZoom + 8, name, 2, kInk);
  }

  top += icon_rows * kCellHeight + 10;
  DrawText(sheet, kMargin, top,
           "QSPIN: " + std::to_string(clip->frames.size()) + " FRAMES, " +
               std::to_string(clip->width) + " X " + std::to_string(clip->height) + ", 2X",
           2, kInk);
  top += 30;
  for (size_t i = 0; i < clip->frames.size(); ++i) {
    auto pixels = DecodeRle8(clip->frames[i], clip->width, clip->height);
    if (!pixels) {
      std::fprintf(stderr, "make_contact_sheet: frame %zu does not decode\n", i + 1);
      return 1;
    }
    int left = kMargin + static_cast<int>(i % kColumns) * kFrameCellWidth;
    int frame_top = top + static_cast<int>(i / kColumns) * frame_cell_height;
    for (int y = 0; y < clip->height * kFrameZoom; ++y) {
      for (int x = 0; x < clip->width * kFrameZoom; ++x) {
        uint8_t index = (*pixels)[(y / kFrameZoom) * clip->width + x / kFrameZoom];
        sheet.Set(left + x, frame_top + y, clip->palette[index]);
      }
    }
    DrawText(sheet, left, frame_top + clip->height * kFrameZoom + 6, std::to_string(i + 1), 2,
             kInk);
  }

  if (!WriteWholeFile(argv[1], EncodePng(sheet))) {
    std::fprintf(stderr, "make_contact_sheet: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace qef

int main(int argc, char** argv) { return qef::Run(argc, argv); }
