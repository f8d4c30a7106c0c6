// Checks the icon files the build compiled from the pictures, reading them with this test's own
// reader and the pictures with its own parser.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace qef {
namespace {

const std::string kResourceDir = QEF_RESOURCE_DIR;
const std::string kSourceDir = QEF_ICON_SOURCE_DIR;

const std::vector<std::string> kGroups = {
    "AICOZEMB", "AICOZEMBCROSS", "ICOAPP",    "ICOCAIN",    "ICOCROSS", "ICODBSERVER",
    "ICODIFF",  "ICODLL",        "ICOEXTMOD", "ICOFORM",    "ICOFSPEC", "ICOIMAGE",
    "ICOINONE", "ICOINTWO",      "ICOLIB",    "ICOLOCK",    "ICOMENU",  "ICOMOD",
    "ICOPRJ",   "ICOSQLSERVER",  "ICOSYSLIB", "ICOZEMBWINK"};

// The standard 16-colour Windows palette, as red, green, blue.
constexpr std::array<std::array<int, 3>, 16> kStandardColours = {{{0, 0, 0},
                                                                  {128, 0, 0},
                                                                  {0, 128, 0},
                                                                  {128, 128, 0},
                                                                  {0, 0, 128},
                                                                  {128, 0, 128},
                                                                  {0, 128, 128},
                                                                  {192, 192, 192},
                                                                  {128, 128, 128},
                                                                  {255, 0, 0},
                                                                  {0, 255, 0},
                                                                  {255, 255, 0},
                                                                  {0, 0, 255},
                                                                  {255, 0, 255},
                                                                  {0, 255, 255},
                                                                  {255, 255, 255}}};

// The legend's characters in palette order; '.' is transparent.
constexpr std::string_view kCharacters = "#rgybmcsdRGYBMCW";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

unsigned Byte(const std::string& bytes, size_t at) { return static_cast<uint8_t>(bytes[at]); }
unsigned Le16(const std::string& bytes, size_t at) {
  return Byte(bytes, at) | Byte(bytes, at + 1) << 8;
}
unsigned Le32(const std::string& bytes, size_t at) {
  return Le16(bytes, at) | Le16(bytes, at + 2) << 16;
}

// The picture's rows, without comments.
std::vector<std::string> PictureRows(const std::string& name) {
  std::istringstream text(ReadFile(kSourceDir + "/" + name + ".txt"));
  std::vector<std::string> rows;
  for (std::string line; std::getline(text, line);) {
    if (!line.empty() && line[0] != ';') rows.push_back(line);
  }
  return rows;
}

class IconFileTest : public ::testing::TestWithParam<std::string> {};

TEST_P(IconFileTest, HoldsOne32By32SixteenColourImageOf744Bytes) {
  std::string icon = ReadFile(kResourceDir + "/" + GetParam() + ".ico");
  ASSERT_EQ(icon.size(), 22u + 744u);
  // ICONDIR and its one entry
  EXPECT_EQ(Le16(icon, 0), 0u);
  EXPECT_EQ(Le16(icon, 2), 1u);
  EXPECT_EQ(Le16(icon, 4), 1u);
  EXPECT_EQ(Byte(icon, 6), 32u);
  EXPECT_EQ(Byte(icon, 7), 32u);
  EXPECT_EQ(Byte(icon, 8), 16u);
  EXPECT_EQ(Byte(icon, 9), 0u);
  EXPECT_EQ(Le16(icon, 10), 1u);
  EXPECT_EQ(Le16(icon, 12), 4u);
  EXPECT_EQ(Le32(icon, 14), 744u);
  EXPECT_EQ(Le32(icon, 18), 22u);
  // BITMAPINFOHEADER: the height covers colour bitmap and mask
  EXPECT_EQ(Le32(icon, 22), 40u);
  EXPECT_EQ(Le32(icon, 26), 32u);
  EXPECT_EQ(Le32(icon, 30), 64u);
  EXPECT_EQ(Le16(icon, 34), 1u);
  EXPECT_EQ(Le16(icon, 36), 4u);
  EXPECT_EQ(Le32(icon, 38), 0u);
  EXPECT_EQ(Le32(icon, 42), 512u + 128u);
}

TEST_P(IconFileTest, CarriesTheStandardSixteenColourPalette) {
  std::string icon = ReadFile(kResourceDir + "/" + GetParam() + ".ico");
  ASSERT_EQ(icon.size(), 766u);
  for (size_t i = 0; i < 16; ++i) {
    size_t at = 62 + 4 * i;
    EXPECT_EQ((std::array<int, 3>{static_cast<int>(Byte(icon, at + 2)),
                                  static_cast<int>(Byte(icon, at + 1)),
                                  static_cast<int>(Byte(icon, at))}),
              kStandardColours[i])
        << "entry " << i;
    EXPECT_EQ(Byte(icon, at + 3), 0u);
  }
}

TEST_P(IconFileTest, ColoursAndMaskFollowThePictureWithTransparencyInTheMaskOnly) {
  std::string icon = ReadFile(kResourceDir + "/" + GetParam() + ".ico");
  std::vector<std::string> rows = PictureRows(GetParam());
  ASSERT_EQ(icon.size(), 766u);
  ASSERT_EQ(rows.size(), 32u);
  size_t colour_at = 126, mask_at = 126 + 512;
  int opaque = 0;
  std::set<int> colours;
  for (int y = 0; y < 32; ++y) {
    ASSERT_EQ(rows[y].size(), 32u) << "row " << y;
    int stored = 31 - y;  // bottom row first
    for (int x = 0; x < 32; ++x) {
      unsigned pair = Byte(icon, colour_at + stored * 16 + x / 2);
      int index = static_cast<int>(x % 2 == 0 ? pair >> 4 : pair & 0x0F);
      bool masked = Byte(icon, mask_at + stored * 4 + x / 8) & (0x80 >> (x % 8));
      char drawn = rows[y][x];
      if (drawn == '.') {
        EXPECT_TRUE(masked) << x << "," << y;
        EXPECT_EQ(index, 0) << x << "," << y;
      } else {
        EXPECT_FALSE(masked) << x << "," << y;
        EXPECT_EQ(kCharacters[index], drawn) << x << "," << y;
        ++opaque;
        colours.insert(index);
      }
    }
  }
  // A drawing, not a blank or a blot.
  EXPECT_GT(opaque, 150);
  EXPECT_GE(colours.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(AllIcons, IconFileTest, ::testing::ValuesIn(kGroups),
                         [](const ::testing::TestParamInfo<std::string>& icon) {
                           return icon.param;
                         });

TEST(IconResourceScriptTest, NamesTheGroupsAlphabeticallySoTheImagesAreNumbered1To22) {
  std::istringstream lines(ReadFile(kResourceDir + "/icons.rc.inc"));
  std::vector<std::string> names;
  for (std::string line; std::getline(lines, line);) {
    std::string name = line.substr(0, line.find(' '));
    EXPECT_EQ(line, name + " ICON \"" + kResourceDir + "/" + name + ".ico\"");
    names.push_back(name);
  }
  EXPECT_EQ(names, kGroups);
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
}

}  // namespace
}  // namespace qef
