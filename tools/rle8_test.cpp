#include "tools/rle8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qef {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes += static_cast<char>(value);
  return bytes;
}

TEST(Rle8Test, EncodesARunAsCountAndValue) {
  EXPECT_EQ(EncodeRle8({5, 5, 5, 5}, 4, 1), Bytes({4, 5, 0, 0, 0, 1}));
}

TEST(Rle8Test, EncodesThreeOrMoreUnlikeBytesInAbsoluteModePaddedToEvenLength) {
  EXPECT_EQ(EncodeRle8({1, 2, 3}, 3, 1), Bytes({0, 3, 1, 2, 3, 0, 0, 0, 0, 1}));
  EXPECT_EQ(EncodeRle8({1, 2, 3, 4}, 4, 1), Bytes({0, 4, 1, 2, 3, 4, 0, 0, 0, 1}));
}

TEST(Rle8Test, EncodesOneOrTwoUnlikeBytesAsShortRuns) {
  EXPECT_EQ(EncodeRle8({1, 2}, 2, 1), Bytes({1, 1, 1, 2, 0, 0, 0, 1}));
  EXPECT_EQ(EncodeRle8({1, 2, 2, 2, 2}, 5, 1), Bytes({1, 1, 4, 2, 0, 0, 0, 1}));
}

TEST(Rle8Test, SplitsRunsLongerThan255) {
  EXPECT_EQ(EncodeRle8(std::vector<uint8_t>(300, 7), 300, 1), Bytes({255, 7, 45, 7, 0, 0, 0, 1}));
}

TEST(Rle8Test, StoresTheBottomRowFirst) {
  EXPECT_EQ(EncodeRle8({1, 1, 1, 2, 2, 2}, 3, 2), Bytes({3, 2, 0, 0, 3, 1, 0, 0, 0, 1}));
}

TEST(Rle8Test, RoundTripsMixedRows) {
  const int width = 80, height = 60;
  std::vector<uint8_t> pixels(width * height);
  uint32_t state = 12345;
  for (size_t i = 0; i < pixels.size(); ++i) {
    state = state * 1103515245 + 12345;
    // Long runs, short runs and noise, so every encoding path is taken.
    int kind = (i / 17) % 3;
    pixels[i] = kind == 0   ? 9
                : kind == 1 ? static_cast<uint8_t>(state >> 24)
                            : static_cast<uint8_t>((state >> 30) + 1);
  }
  auto decoded = DecodeRle8(EncodeRle8(pixels, width, height), width, height);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(*decoded, pixels);
}

TEST(Rle8Test, DecodingRejectsRowsPastTheWidthAndAMissingEnd) {
  EXPECT_FALSE(DecodeRle8(Bytes({5, 1, 0, 0, 0, 1}), 4, 1).has_value());
  EXPECT_FALSE(DecodeRle8(Bytes({4, 1, 0, 0}), 4, 1).has_value());
  EXPECT_FALSE(DecodeRle8(Bytes({0, 5, 1, 2}), 8, 1).has_value());
}

TEST(Rle8Test, DecodingFollowsADeltaAndLeavesSkippedPixelsZero) {
  auto decoded = DecodeRle8(Bytes({0, 2, 1, 1, 1, 7, 0, 1}), 3, 2);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(*decoded, (std::vector<uint8_t>{0, 7, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace qef
