#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/backends.h"

namespace qef {
namespace {

TEST(SystemFullPathTest, RelativeNamesAreTakenInTheCurrentFolder) {
  std::vector<char> cwd(4096);
  ASSERT_NE(::getcwd(cwd.data(), cwd.size()), nullptr);
  const std::string folder = cwd.data();
  const std::string prefix = folder == "/" ? folder : folder + "/";
  struct Case {
    std::string given;
    std::string full;
  } cases[] = {
      {"a.AEF", prefix + "a.AEF"},
      {"sub/b c.MEF", prefix + "sub/b c.MEF"},
      {"../up.AEF", prefix + "../up.AEF"},  // left to the system: a link may lie in between
      {"/abs/x.AEF", "/abs/x.AEF"},
  };
  for (const Case& c : cases) EXPECT_EQ(SystemFullPath(c.given), c.full) << c.given;
}

}  // namespace
}  // namespace qef
