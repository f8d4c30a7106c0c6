#include "app/app_texts.h"

#include <gtest/gtest.h>

namespace qef {
namespace {

TEST(CountSentenceTest, NamesTheCountWithABlankBeforeFix) {
  EXPECT_EQ(CountSentence(0), "");
  EXPECT_EQ(CountSentence(1), "1 .FIX file was successfully written.");
  EXPECT_EQ(CountSentence(3), "3 .FIX files were successfully written.");
  EXPECT_EQ(CountSentence(12), "12 .FIX files were successfully written.");
  EXPECT_EQ(CountSentence(4294967295u), "4294967295 .FIX files were successfully written.");
}

}  // namespace
}  // namespace qef
