#include "cli/file_arguments.h"

#include "fsutil/export_file_tree.h"
#include "fsutil/wildcard_expansion.h"
#include "runtime/file_functions.h"

namespace qef {

namespace {

FileArgument Argument(std::string path, bool matched = true, std::string relative = "",
                      bool folder = false) {
  FileArgument argument;
  argument.path = std::move(path);
  argument.matched = matched;
  argument.relative = std::move(relative);
  argument.folder = folder;
  return argument;
}

}  // namespace

std::vector<FileArgument> ExpandFileArguments(const std::vector<std::string>& args, bool expand,
                                              bool recursive) {
  std::vector<FileArgument> result;
  for (const std::string& arg : args) {
    if (recursive && FIsFolder(arg)) {
      const std::string separators(PathSeparators());
      std::vector<TreeFile> files = ExportFilesUnder(arg, separators);
      if (files.empty()) result.push_back(Argument(arg, false, "", true));
      for (TreeFile& file : files) {
        result.push_back(Argument(std::move(file.path), true, std::move(file.relative), true));
      }
      continue;
    }
    if (!expand || !HasWildcard(arg)) {
      result.push_back(Argument(arg));
      continue;
    }
    std::vector<std::string> paths = ExpandWildcards(arg);
    if (paths.empty()) result.push_back(Argument(arg, false));
    for (std::string& path : paths) result.push_back(Argument(std::move(path)));
  }
  return result;
}

std::string NoMatchMessage(const std::string& pattern) { return "No file matches " + pattern; }

std::string NoMatchMessage(const FileArgument& file) {
  return file.folder ? "No export file under " + file.path : NoMatchMessage(file.path);
}

std::string FolderWithoutRecursiveMessage(const std::string& folder) {
  return "Error reading " + folder + " (a folder: add -r (--recursive) to take the export files " +
         "under it)";
}

}  // namespace qef
