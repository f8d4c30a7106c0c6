#pragma once

// The export files of a folder tree, for the front ends that take a folder where files are
// asked for (efx --recursive). The tree is read through the run-time's directory search, so it
// is read alike on every system.

#include <string>
#include <string_view>
#include <vector>

namespace qef {

struct TreeFile {
  std::string path;      // the folder's path in front
  std::string relative;  // the path below the folder, with its separators
};

// The export files under the folder, at any depth: names ending in .AEF or .MEF in any letter
// case. A folder's files come first, in name order without regard to case, then its
// sub-folders, one after another in the same order. Links, hidden and system entries are
// skipped, as a wildcard skips them (on POSIX, hidden means a name starting with "."). A
// sub-folder that cannot be listed stands as an entry itself, so that it fails as a file that
// cannot be read would, rather than vanish unseen. Paths are joined with the first of
// `separators`.
std::vector<TreeFile> ExportFilesUnder(const std::string& folder, std::string_view separators);

// `folder` and `name` joined by a separator, unless the folder ends in one or in a drive.
std::string JoinPath(const std::string& folder, const std::string& name,
                     std::string_view separators);

}  // namespace qef
