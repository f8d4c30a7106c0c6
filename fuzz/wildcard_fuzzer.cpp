// The POSIX file picker's wildcard matcher against a plain dynamic-programming model, over
// arbitrary patterns and names: same answer, and never slow or recursive.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "runtime/wildcard.h"

namespace {

char Fold(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// table[i][j]: the first i pattern characters match the first j name characters.
bool ModelMatch(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*") return true;
  std::vector<std::vector<bool>> table(pattern.size() + 1,
                                       std::vector<bool>(name.size() + 1, false));
  table[0][0] = true;
  for (size_t i = 1; i <= pattern.size(); ++i) {
    char p = pattern[i - 1];
    table[i][0] = p == '*' && table[i - 1][0];
    for (size_t j = 1; j <= name.size(); ++j) {
      if (p == '*') {
        table[i][j] = table[i - 1][j] || table[i][j - 1];
      } else {
        table[i][j] = table[i - 1][j - 1] && (p == '?' || Fold(p) == Fold(name[j - 1]));
      }
    }
  }
  return table[pattern.size()][name.size()];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Pattern and name are separated by the first zero byte; keep the model's table small.
  std::string_view all(reinterpret_cast<const char*>(data), size);
  size_t split = all.find('\0');
  std::string_view pattern = all.substr(0, split);
  std::string_view name = split == std::string_view::npos ? "" : all.substr(split + 1);
  if (pattern.size() > 512 || name.size() > 512) return 0;
  if (qef::WildcardMatch(pattern, name) != ModelMatch(pattern, name)) {
    std::fprintf(stderr, "the matcher and the model disagree\n");
    std::abort();
  }
  qef::MatchesAnyPattern(pattern, name);
  return 0;
}
