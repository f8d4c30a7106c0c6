#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/backends.h"

namespace qef {

namespace {

bool WritableFolder(const std::string& folder) {
  struct stat info;
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         ::access(folder.c_str(), W_OK) == 0;
}

// Creates the folder and its parents; true when it exists afterwards.
bool MakeFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    std::string part = folder.substr(0, slash);
    if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  return WritableFolder(folder);
}

std::string ProgramFolder() {
  std::vector<char> path(4096);
  ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return std::string();
  std::string program(path.data(), static_cast<size_t>(length));
  size_t slash = program.rfind('/');
  return slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
}

}  // namespace

// The program's own folder when it may be written to, as the run-time does on Windows;
// otherwise the user's state folder ($XDG_STATE_HOME/quillon, else ~/.local/state/quillon);
// the current folder as the last resort.
std::string SystemWorkDir() {
  std::string program_folder = ProgramFolder();
  if (!program_folder.empty() && WritableFolder(program_folder)) return program_folder;
  std::string state_home;
  if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg != nullptr && xdg[0] == '/') {
    state_home = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    state_home = std::string(home) + "/.local/state";
  }
  if (!state_home.empty() && MakeFolders(state_home + "/quillon")) return state_home + "/quillon/";
  return "./";
}

// Only the current folder goes in front: resolving ".." by hand would be wrong across a symbolic
// link.
std::string SystemFullPath(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  std::vector<char> cwd(4096);
  if (::getcwd(cwd.data(), cwd.size()) == nullptr) return path;
  std::string folder = cwd.data();
  return folder + (folder.back() == '/' ? "" : "/") + path;
}

}  // namespace qef
