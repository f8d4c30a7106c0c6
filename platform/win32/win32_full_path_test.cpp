#include <gtest/gtest.h>

#include <string>

#include "platform/backends.h"

// Windows headers come last: their macros would rename the portable names above.
#include <windows.h>

namespace qef {
namespace {

TEST(SystemFullPathTest, RelativeNamesAreTakenInTheCurrentFolder) {
  char folder[MAX_PATH];
  DWORD length = GetCurrentDirectoryA(MAX_PATH, folder);
  ASSERT_GT(length, 0u);
  std::string prefix(folder, length);
  if (prefix.back() != '\\') prefix += '\\';
  struct Case {
    std::string given;
    std::string full;
  } cases[] = {
      {"a.AEF", prefix + "a.AEF"},
      {"sub\\b c.MEF", prefix + "sub\\b c.MEF"},
      {"C:\\Work\\x.AEF", "C:\\Work\\x.AEF"},
      {"C:\\Work\\sub\\..\\y.MEF", "C:\\Work\\y.MEF"},
  };
  for (const Case& c : cases) EXPECT_EQ(SystemFullPath(c.given), c.full) << c.given;
}

}  // namespace
}  // namespace qef
