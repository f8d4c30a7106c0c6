#include "platform/posix/posix_settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace qef {

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> FindSetting(const std::string& text, const std::string& sub_key,
                                       const std::string& name) {
  std::optional<std::string> found;
  bool in_section = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string_view head = TrimBlanks(line);
    if (head.empty() || head.front() == ';' || head.front() == '#') continue;
    if (head.front() == '[') {
      size_t close = head.rfind(']');
      in_section = close != std::string_view::npos &&
                   EqualNoCase(TrimBlanks(head.substr(1, close - 1)), sub_key);
      continue;
    }
    size_t equals = line.find('=');
    if (!in_section || equals == std::string_view::npos) continue;
    if (EqualNoCase(TrimBlanks(line.substr(0, equals)), name)) {
      found = std::string(line.substr(equals + 1));
    }
  }
  return found;
}

std::optional<std::string> PosixSettingsFile::Query(const std::string& sub_key,
                                                    const std::string& name) {
  if (path_.empty()) return std::nullopt;
  // Without waiting: a FIFO under the name would hold the program until someone wrote to it.
  int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat info;
  std::string text;
  bool readable = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  // Read one byte more than allowed, so a file that grew since fstat is still caught.
  while (readable && text.size() <= kMaxSettingsSize) {
    char chunk[65536];
    ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) readable = false;
    if (got <= 0) break;
    text.append(chunk, static_cast<size_t>(got));
  }
  ::close(fd);
  if (!readable) return std::nullopt;
  if (text.size() > kMaxSettingsSize) {
    if (!warned_ && warnings_ != nullptr) {
      std::fprintf(warnings_,
                   "The settings file %s is larger than 1 MiB and is not read: the defaults "
                   "apply.\n",
                   path_.c_str());
      std::fflush(warnings_);
    }
    warned_ = true;
    return std::nullopt;
  }
  return FindSetting(text, sub_key, name);
}

std::string DefaultSettingsPath() {
  if (const char* explicit_path = std::getenv("EXPORTFIX_SETTINGS");
      explicit_path && *explicit_path) {
    return explicit_path;
  }
  // Relative folders would make the current folder's files the settings: a folder of export
  // files someone sent could change the repair. The XDG rules say to ignore them.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
    return std::string(xdg) + "/quillon/exportfix.ini";
  }
  if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
    return std::string(home) + "/.config/quillon/exportfix.ini";
  }
  return "";
}

}  // namespace qef
