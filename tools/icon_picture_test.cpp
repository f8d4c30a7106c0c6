#include "tools/icon_picture.h"

#include <gtest/gtest.h>

#include <string>

#include "tools/byte_order.h"

namespace qef {
namespace {

std::string SixteenColours() {
  std::string legend = "; comment\n. transparent\n";
  const char* codes = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) {
    legend += std::string(1, codes[i]) + " " + std::to_string(i) + " " +
              (i == 9    ? "ff0000"
               : i == 15 ? "ffffff"
                         : "000000") +
              " colour\n";
  }
  return legend;
}

std::string Picture(char fill) {
  std::string text = "; a picture\n";
  for (int row = 0; row < kIconSize; ++row) text += std::string(kIconSize, fill) + "\n";
  return text;
}

TEST(IconPictureTest, ReadsALegendOfSixteenColoursAndTransparency) {
  std::string error;
  auto legend = ParseLegend(SixteenColours(), &error);
  ASSERT_TRUE(legend.has_value()) << error;
  EXPECT_EQ(legend->palette[9], (Rgb{255, 0, 0}));
  EXPECT_EQ(legend->index_of['f'], 15);
  EXPECT_EQ(legend->index_of['.'], kTransparentPixel);
}

TEST(IconPictureTest, RejectsALegendWithAMissingOrRepeatedColour) {
  std::string error;
  std::string text = SixteenColours();
  EXPECT_FALSE(ParseLegend(text.substr(0, text.rfind("f 15")), &error).has_value());
  EXPECT_NE(error.find("palette index 15 missing"), std::string::npos) << error;
  EXPECT_FALSE(ParseLegend(text + "g 3 000000 again\n", &error).has_value());
  EXPECT_FALSE(ParseLegend(text + "0 transparent\n", &error).has_value());
  EXPECT_NE(error.find("defined twice"), std::string::npos) << error;
}

TEST(IconPictureTest, RejectsPicturesOfTheWrongShapeOrWithUnknownCharacters) {
  auto legend = ParseLegend(SixteenColours(), nullptr);
  ASSERT_TRUE(legend.has_value());
  std::string error;
  std::string short_row = Picture('.');
  short_row.erase(short_row.find('\n', 20) - 1, 1);
  EXPECT_FALSE(ParsePicture(short_row, *legend, &error).has_value());
  EXPECT_EQ(error, "line 2: expected 32 characters, found 31");
  EXPECT_FALSE(ParsePicture(Picture('.') + std::string(32, '.'), *legend, &error).has_value());
  EXPECT_FALSE(ParsePicture(Picture('z'), *legend, &error).has_value());
  EXPECT_EQ(error, "line 2: character 'z' not in the legend");
}

TEST(IconPictureTest, StoresRowsBottomUpWithTheLeftPixelInTheHighNibbleAndMaskBit) {
  auto legend = ParseLegend(SixteenColours(), nullptr);
  std::string text = Picture('.');
  text[text.find('\n') + 1] = '9';  // top-left pixel red, the rest transparent
  auto pixels = ParsePicture(text, *legend, nullptr);
  ASSERT_TRUE(pixels.has_value());
  std::string icon = BuildIconFile(*pixels, *legend);
  ASSERT_EQ(icon.size(), static_cast<size_t>(kIconFileBytes));
  EXPECT_EQ(GetLe32(icon, 14), static_cast<uint32_t>(kIconImageBytes));
  size_t colour = 22 + 40 + 64;
  size_t mask = colour + 512;
  // The top row is stored last.
  EXPECT_EQ(static_cast<uint8_t>(icon[colour + 31 * 16]), 0x90);
  EXPECT_EQ(static_cast<uint8_t>(icon[mask + 31 * 4]), 0x7F);
  EXPECT_EQ(static_cast<uint8_t>(icon[colour]), 0x00);
  EXPECT_EQ(static_cast<uint8_t>(icon[mask]), 0xFF);
}

}  // namespace
}  // namespace qef
