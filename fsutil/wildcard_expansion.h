#pragma once

// The one expansion of "*" and "?" in a path, for the front ends that take patterns where files
// are asked for: efx on Windows, whose command line comes unexpanded, and the terminal's
// line-by-line open dialog.

#include <string>
#include <vector>

namespace qef {

// True when the last part of the path holds "*" or "?".
bool HasWildcard(const std::string& path);

// The files the path names when its last part is a pattern, through the run-time's directory
// search: ordinary files only (those a listing without attributes shows: no folders, hidden or
// system files), each with the path's folder in front, in name order without regard to case.
// With `pattern_list`, the last part may hold several patterns separated by ";" ("*.AEF;*.MEF"),
// and a file that matches several is named once.
std::vector<std::string> ExpandWildcards(const std::string& path, bool pattern_list = false);

// The order of names in a listing: without regard to case, as NTFS orders its folders; names
// that differ only in case keep a fixed order.
bool NameBefore(const std::string& a, const std::string& b);

}  // namespace qef
