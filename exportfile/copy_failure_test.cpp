#include "exportfile/copy_failure.h"

#include <gtest/gtest.h>

#include <vector>

namespace qef {
namespace {

TEST(CopyFailureTest, AReadFailureOutweighsAWriteFailure) {
  using enum CopyResult;
  struct Case {
    std::vector<CopyResult> noted;
    CopyResult kind;
  } cases[] = {
      {{}, kDone},
      {{kWriteError}, kWriteError},
      {{kReadError}, kReadError},
      {{kWriteError, kReadError}, kReadError},
      {{kReadError, kWriteError}, kReadError},
  };
  for (const Case& c : cases) {
    CopyFailure failure;
    for (CopyResult kind : c.noted) EXPECT_FALSE(failure.Fail(kind));
    EXPECT_EQ(failure.kind(), c.kind);
    EXPECT_EQ(failure.failed(), c.kind != kDone);
  }
}

TEST(CopyFailureTest, AFailureFromBeforeTakesThePlaceOfThoseNoted) {
  CopyFailure failure;
  failure.Fail(CopyResult::kReadError);
  failure.FailBefore(CopyResult::kWriteError);
  EXPECT_EQ(failure.kind(), CopyResult::kWriteError);
}

}  // namespace
}  // namespace qef
