#pragma once

// The FILE arguments of efx fix, check and dump. Windows passes a program its command line
// unexpanded, so there efx expands "*" and "?" itself, as Windows tools do; a POSIX shell has
// expanded them already, and there "*" is a legal character of a file name.

#include <string>
#include <vector>

namespace qef {

struct FileArgument {
  std::string path;      // a file to process, or the pattern or folder that matched nothing
  bool matched = true;   // false for a pattern or folder that matched no file
  std::string relative;  // from a folder argument: its path below that folder
  bool folder = false;   // it came from a folder argument
};

// Each argument whose last part holds "*" or "?" becomes the files it matches through the
// run-time's directory search, ordinary files only (those efx ls lists without attributes),
// each with the argument's folder in front, in name order without regard to case. Other
// arguments, and every argument when `expand` is false, stay as they are.
// With `recursive`, an argument that is a folder becomes the export files under it
// (ExportFilesUnder); one that holds none is unmatched. `recursive` needs an installed
// run-time.
std::vector<FileArgument> ExpandFileArguments(const std::vector<std::string>& args, bool expand,
                                              bool recursive = false);

// The message for a pattern that matched no file.
std::string NoMatchMessage(const std::string& pattern);
// The same for any argument that matched nothing, a folder included.
std::string NoMatchMessage(const FileArgument& file);
// The message for a folder given without --recursive: it fails as a file that cannot be read
// always has, with what to do as its reason.
std::string FolderWithoutRecursiveMessage(const std::string& folder);

}  // namespace qef
