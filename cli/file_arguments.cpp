#include "cli/file_arguments.h"

#include "fsutil/wildcard_expansion.h"

namespace qef {

std::vector<FileArgument> ExpandFileArguments(const std::vector<std::string>& args, bool expand) {
  std::vector<FileArgument> result;
  for (const std::string& arg : args) {
    if (!expand || !HasWildcard(arg)) {
      result.push_back({arg, true});
      continue;
    }
    std::vector<std::string> paths = ExpandWildcards(arg);
    if (paths.empty()) result.push_back({arg, false});
    for (std::string& path : paths) result.push_back({std::move(path), true});
  }
  return result;
}

std::string NoMatchMessage(const std::string& pattern) { return "No file matches " + pattern; }

}  // namespace qef
