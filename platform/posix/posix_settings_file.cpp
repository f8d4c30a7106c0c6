#include "platform/posix/posix_settings_file.h"

#include <cstdlib>
#include <fstream>
#include <ios>
#include <iterator>
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
  std::ifstream file(path_, std::ios::binary);
  if (!file) return std::nullopt;
  std::string text;
  try {
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  } catch (const std::ios_base::failure&) {
    // A folder, or a read error, under the file's name: the library throws from the stream
    // buffer even without exceptions enabled. Unreadable means no values.
    return std::nullopt;
  }
  return FindSetting(text, sub_key, name);
}

std::string DefaultSettingsPath() {
  if (const char* explicit_path = std::getenv("EXPORTFIX_SETTINGS");
      explicit_path && *explicit_path) {
    return explicit_path;
  }
  std::string path = ".";
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    path = std::string(xdg);
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    path = std::string(home) + "/.config";
  }
  path += "/quillon/exportfix.ini";
  return path;
}

}  // namespace qef
