// The terminal UI's box layout on any caption, text, buttons and screen size: nothing drawn
// outside the screen, no control character or broken character reaches it, the buttons stay
// on a screen of the smallest supported size, and scrolling reaches every line of the text.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "ui/terminal_layout.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "terminal layout: %s\n", what);
    std::abort();
  }
}

std::string NonBlank(std::string_view text) {
  std::string kept;
  for (char c : text) {
    if (c != ' ' && c != '\r' && c != '\n') kept += c;
  }
  return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Six bytes of settings, then caption, text and button labels separated by zero bytes.
  if (size < 6) return 0;
  const size_t width = data[0];
  const size_t height = data[1] % 100;
  const auto encoding =
      data[2] % 2 == 0 ? qef::TerminalEncoding::kUtf8 : qef::TerminalEncoding::kEightBit;
  qef::BoxSpec box;
  box.focus = data[3] % 8;
  box.scroll = static_cast<size_t>(data[4]) * 4;
  box.button_gap = 2 + data[5] % 2;
  std::vector<std::string> parts;
  std::string_view rest(reinterpret_cast<const char*>(data + 6), size - 6);
  for (size_t zero; (zero = rest.find('\0')) != std::string_view::npos;) {
    parts.emplace_back(rest.substr(0, zero));
    rest.remove_prefix(zero + 1);
  }
  parts.emplace_back(rest);
  box.caption = parts[0];
  if (parts.size() > 1) box.text = parts[1];
  for (size_t i = 2; i < parts.size() && i < 8; ++i) box.buttons.push_back(parts[i]);
  if (box.buttons.empty()) box.buttons.push_back("OK");
  box.focus %= box.buttons.size();
  box.help = "  Enter: choose   Tab: next button   Esc: " + box.buttons.back();

  qef::BoxLayout layout = qef::LayOutBox(box, width, height, encoding);
  Check(layout.lines.size() <= height, "more lines than the screen has");
  for (const std::string& line : layout.lines) {
    Check(qef::DisplayWidth(line, encoding) <= width, "a line wider than the screen");
    // A drawn line holds no control or broken character: shown once more, only its backslashes
    // (drawn from escapes or taken from names) come back doubled.
    std::string doubled;
    for (char c : line) doubled.append(c == '\\' ? 2 : 1, c);
    Check(qef::DisplayText(line, encoding) == doubled, "a control or broken character drawn");
  }
  Check(layout.scroll <= layout.max_scroll, "scrolled past the end");
  Check(layout.shown_text_lines + layout.max_scroll == layout.text_lines,
        "scrolling does not reach every line");

  bool short_labels = true;
  for (const std::string& label : box.buttons) short_labels = short_labels && label.size() <= 10;
  if (width >= qef::kMinScreenWidth && height >= qef::kMinScreenHeight && short_labels &&
      box.buttons.size() <= 3) {
    Check(layout.shown_text_lines >= 1, "no line of text shown");
    bool focused_shown = false;
    for (size_t row = layout.button_row;
         row < layout.lines.size() && layout.lines[row].rfind("| ", 0) == 0; ++row) {
      focused_shown = focused_shown || layout.lines[row].find("[>") != std::string::npos;
    }
    Check(focused_shown, "the focused button is not on the screen");
  }

  // Wrapping loses nothing but the blanks where lines were cut.
  const size_t inner = width > 4 ? std::min(width - 4, qef::kBoxTextWidth) : 1;
  const std::string shown = qef::DisplayText(box.text, encoding, true);
  std::string wrapped;
  for (const std::string& line : qef::WrapText(shown, inner, encoding)) {
    Check(qef::DisplayWidth(line, encoding) <= std::max<size_t>(inner, 2),
          "a wrapped line wider than the box");
    wrapped += line;
  }
  Check(NonBlank(wrapped) == NonBlank(shown), "wrapping lost or changed text");
  return 0;
}
