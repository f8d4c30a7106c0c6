#pragma once

// The FILE arguments of efx fix, check and dump. Windows passes a program its command line
// unexpanded, so there efx expands "*" and "?" itself, as Windows tools do; a POSIX shell has
// expanded them already, and there "*" is a legal character of a file name.

#include <string>
#include <vector>

namespace qef {

struct FileArgument {
  std::string path;     // a file to process, or the pattern that matched nothing
  bool matched = true;  // false for a pattern that matched no file
};

// Each argument whose last part holds "*" or "?" becomes the files it matches through the
// run-time's directory search, ordinary files only (those efx ls lists without attributes),
// each with the argument's folder in front, in name order without regard to case. Other
// arguments, and every argument when `expand` is false, stay as they are.
std::vector<FileArgument> ExpandFileArguments(const std::vector<std::string>& args, bool expand);

// The message for a pattern that matched no file.
std::string NoMatchMessage(const std::string& pattern);

}  // namespace qef
