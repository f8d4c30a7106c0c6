#include "platform/kept_block.h"

#include <gtest/gtest.h>

#include <vector>

namespace qef {
namespace {

// A page source that counts what it hands out and takes back.
int taken = 0;
int given_back = 0;
char* Take(size_t size, size_t& mapped) {
  ++taken;
  mapped = size;
  return new char[size];
}
void GiveBack(char* data, size_t /*mapped*/) {
  ++given_back;
  delete[] data;
}
constexpr PageSource kCounted{Take, GiveBack};
constexpr PageSource kOther{Take, GiveBack};

// Each step asks for a block of `size` and gives back the blocks of the earlier steps named in
// `give_back` (by index) first; `reused` is the step whose memory it must get, or -1 for new.
TEST(KeptBlockTest, TheLargestBlockGivenBackServesTheNextThatFits) {
  struct Step {
    size_t size;
    const PageSource* pages;
    std::vector<int> give_back;
    int reused;
  };
  const Step steps[] = {
      {1000, &kCounted, {}, -1},
      {800, &kCounted, {}, -1},     // nothing given back yet
      {500, &kCounted, {0}, 0},     // the one given back is large enough
      {900, &kCounted, {1}, -1},    // the 800 given back is too small
      {700, &kCounted, {}, 1},      // but serves the next that fits
      {900, &kCounted, {2, 3}, 0},  // the larger of two given back is kept
      {100, &kOther, {4}, -1},      // another source's block is not handed out
  };
  taken = given_back = 0;
  std::vector<std::unique_ptr<BlockMemory>> blocks;
  std::vector<char*> data;
  for (size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(i);
    for (int earlier : steps[i].give_back) blocks[earlier].reset();
    const int taken_before = taken;
    blocks.push_back(NewKeptBlock(steps[i].size, *steps[i].pages));
    ASSERT_NE(blocks.back(), nullptr);
    data.push_back(blocks.back()->data());
    // New memory is told by the source's count, not by its address: the heap may well hand
    // out again the address of a block given back to it.
    EXPECT_EQ(taken, taken_before + (steps[i].reused < 0 ? 1 : 0));
    if (steps[i].reused >= 0) {
      EXPECT_EQ(data.back(), data[steps[i].reused]);
    }
  }
  EXPECT_EQ(taken, 4);
  blocks.clear();
  // Everything is given back but the one block kept.
  EXPECT_EQ(given_back, taken - 1);
}

}  // namespace
}  // namespace qef
