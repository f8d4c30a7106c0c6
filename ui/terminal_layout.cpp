#include "ui/terminal_layout.h"

#include <algorithm>
#include <cstdint>

namespace qef {

namespace {

// The length and columns of the character at the start of `text`.
struct Character {
  size_t bytes;
  size_t columns;
};

bool IsWide(uint32_t code) {
  // East Asian wide and full-width ranges and the emoji planes, roughly: counting a narrow
  // character as wide only leaves a blank, counting a wide one as narrow would push the frame.
  static constexpr uint32_t kWide[][2] = {
      {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A}, {0x23E9, 0x23F3}, {0x25FD, 0x25FE},
      {0x2600, 0x27BF},   {0x2B1B, 0x2B1C},   {0x2B50, 0x2B55}, {0x2E80, 0x303E}, {0x3041, 0x33FF},
      {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF}, {0xA960, 0xA97F}, {0xAC00, 0xD7A3},
      {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F}, {0xFF00, 0xFF60}, {0xFFE0, 0xFFE6},
      {0x1F000, 0x1FAFF}, {0x20000, 0x3FFFD},
  };
  for (const auto& range : kWide) {
    if (code >= range[0] && code <= range[1]) return true;
  }
  return false;
}

Character NextCharacter(std::string_view text, TerminalEncoding encoding) {
  const auto lead = static_cast<uint8_t>(text[0]);
  if (encoding != TerminalEncoding::kUtf8 || lead < 0x80) return {1, 1};
  size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    // Display text holds whole characters; a stray byte still counts, as one column.
    if (i >= text.size() || (static_cast<uint8_t>(text[i]) & 0xC0) != 0x80) return {1, 1};
    code = (code << 6) | (static_cast<uint8_t>(text[i]) & 0x3F);
  }
  return {length, IsWide(code) ? 2u : 1u};
}

std::string Blanks(size_t count) { return std::string(count, ' '); }

}  // namespace

size_t DisplayWidth(std::string_view text, TerminalEncoding encoding) {
  size_t columns = 0;
  for (size_t i = 0; i < text.size();) {
    Character c = NextCharacter(text.substr(i), encoding);
    columns += c.columns;
    i += c.bytes;
  }
  return columns;
}

namespace {

// The byte length of the longest start of `text` that takes at most `columns`.
size_t FittingBytes(std::string_view text, size_t columns, TerminalEncoding encoding) {
  size_t used = 0;
  size_t i = 0;
  while (i < text.size()) {
    Character c = NextCharacter(text.substr(i), encoding);
    if (used + c.columns > columns) break;
    used += c.columns;
    i += c.bytes;
  }
  return i;
}

}  // namespace

std::string ClipToWidth(std::string_view text, size_t columns, TerminalEncoding encoding) {
  return std::string(text.substr(0, FittingBytes(text, columns, encoding)));
}

std::string ClipStartToWidth(std::string_view text, size_t columns, TerminalEncoding encoding) {
  size_t total = DisplayWidth(text, encoding);
  size_t start = 0;
  while (total > columns && start < text.size()) {
    Character c = NextCharacter(text.substr(start), encoding);
    total -= c.columns;
    start += c.bytes;
  }
  return std::string(text.substr(start));
}

std::string FitToWidth(std::string_view text, size_t columns, TerminalEncoding encoding) {
  std::string fitted = ClipToWidth(text, columns, encoding);
  size_t width = DisplayWidth(fitted, encoding);
  if (width < columns) fitted += Blanks(columns - width);
  return fitted;
}

std::vector<std::string> WrapText(std::string_view text, size_t width, TerminalEncoding encoding) {
  width = std::max<size_t>(width, 1);
  std::vector<std::string> lines;
  auto flush = [&](std::string_view line) {
    bool alone = false;  // the last line was a character wider than the whole line
    for (size_t fits; (fits = FittingBytes(line, width, encoding)) < line.size();) {
      // A blank right after what fits, or the last one in it, ends the line and is dropped.
      size_t cut = line.rfind(' ', fits);
      if (cut == std::string_view::npos || cut == 0) cut = fits;
      alone = cut == 0;
      if (alone) cut = NextCharacter(line, encoding).bytes;
      lines.emplace_back(line.substr(0, cut));
      line.remove_prefix(cut < line.size() && line[cut] == ' ' ? cut + 1 : cut);
    }
    if (!alone || !line.empty()) lines.emplace_back(line);
  };
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\n' || text[i] == '\r') {
      std::string_view paragraph = text.substr(start, i - start);
      if (!paragraph.empty() && paragraph.back() == '\r') paragraph.remove_suffix(1);
      flush(paragraph);
      start = i + 1;
    }
  }
  flush(text.substr(start));
  return lines;
}

std::string BoxTopLine(std::string_view caption, size_t width, TerminalEncoding encoding) {
  std::string shown = ClipToWidth(caption, width > 0 ? width - 1 : 0, encoding);
  size_t used = 4 + DisplayWidth(shown, encoding);
  return "+- " + shown + " " + std::string(width + 4 - used - 1, '-') + "+";
}

std::string BoxTextLine(std::string_view text, size_t width, TerminalEncoding encoding) {
  return "| " + FitToWidth(text, width, encoding) + " |";
}

std::string BoxBottomLine(size_t width) { return "+" + std::string(width + 2, '-') + "+"; }

std::vector<std::string> HelpLines(std::string_view help, size_t width, TerminalEncoding encoding) {
  size_t indent = std::min(help.find_first_not_of(' '), help.size());
  if (indent >= width) indent = 0;
  std::vector<std::string> lines;
  for (std::string_view line : WrapText(help.substr(indent), width - indent, encoding)) {
    // A line cut between two keys starts with the second blank between them.
    while (!lines.empty() && !line.empty() && line[0] == ' ') line.remove_prefix(1);
    lines.push_back(Blanks(indent) + std::string(line));
  }
  return lines;
}

std::vector<std::string> ButtonRows(const std::vector<std::string>& labels, size_t focus,
                                    size_t gap, size_t width, TerminalEncoding encoding) {
  auto buttons = [&](bool compact) {
    std::vector<std::string> shown;
    for (size_t i = 0; i < labels.size(); ++i) {
      std::string label = DisplayText(labels[i], encoding);
      if (compact) {
        shown.push_back((i == focus ? "[>" : "[ ") + label + (i == focus ? "<]" : " ]"));
      } else {
        shown.push_back((i == focus ? "[> " : "[  ") + label + (i == focus ? " <]" : "  ]"));
      }
    }
    return shown;
  };
  auto centred = [&](const std::string& row) {
    size_t used = DisplayWidth(row, encoding);
    return ClipToWidth(Blanks(used < width ? (width - used) / 2 : 0) + row, width, encoding);
  };
  std::vector<std::string> wide = buttons(false);
  std::string one_row;
  for (size_t i = 0; i < wide.size(); ++i) one_row += (i > 0 ? Blanks(gap) : "") + wide[i];
  if (DisplayWidth(one_row, encoding) <= width) return {centred(one_row)};

  std::vector<std::string> rows;
  std::string row;
  for (const std::string& button : buttons(true)) {
    if (!row.empty() && DisplayWidth(row + " " + button, encoding) > width) {
      rows.push_back(centred(row));
      row.clear();
    }
    row += (row.empty() ? "" : " ") + button;
  }
  if (!row.empty() || rows.empty()) rows.push_back(centred(row));
  return rows;
}

BoxLayout LayOutBox(const BoxSpec& box, size_t width, size_t height, TerminalEncoding encoding) {
  const size_t inner = std::clamp<size_t>(width > 4 ? width - 4 : 1, 1, kBoxTextWidth);
  BoxLayout layout;
  std::vector<std::string> text = WrapText(DisplayText(box.text, encoding, true), inner, encoding);
  std::vector<std::string> buttons =
      ButtonRows(box.buttons, box.focus, box.button_gap, inner, encoding);
  std::vector<std::string> help;
  if (!box.help.empty()) help = HelpLines(DisplayText(box.help, encoding), width, encoding);

  // Top line, the line above the buttons, the buttons, the bottom line and the help.
  const size_t fixed = 3 + buttons.size() + help.size();
  const size_t room = height > fixed ? height - fixed : 0;
  layout.text_lines = text.size();
  layout.shown_text_lines = std::min(text.size(), std::max<size_t>(room, 1));
  layout.max_scroll = text.size() - layout.shown_text_lines;
  layout.scroll = std::min(box.scroll, layout.max_scroll);

  auto& lines = layout.lines;
  lines.push_back(BoxTopLine(DisplayText(box.caption, encoding), inner, encoding));
  for (size_t i = 0; i < layout.shown_text_lines; ++i) {
    lines.push_back(BoxTextLine(text[layout.scroll + i], inner, encoding));
  }
  std::string more;
  if (layout.max_scroll > 0) {
    more = "(lines " + std::to_string(layout.scroll + 1) + "-" +
           std::to_string(layout.scroll + layout.shown_text_lines) + " of " +
           std::to_string(text.size()) + "; Up/Down: scroll)";
  }
  lines.push_back(BoxTextLine(more, inner, encoding));
  layout.button_row = lines.size();
  for (const std::string& row : buttons) lines.push_back(BoxTextLine(row, inner, encoding));
  lines.push_back(BoxBottomLine(inner));
  lines.insert(lines.end(), help.begin(), help.end());

  // A screen too small even for the frame: the buttons and what follows them stay.
  if (lines.size() > height) {
    size_t drop = std::min(lines.size() - height, layout.button_row);
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(drop));
    layout.button_row -= drop;
    if (lines.size() > height) lines.resize(height);
  }
  for (std::string& line : lines) {
    if (DisplayWidth(line, encoding) > width) line = ClipToWidth(line, width, encoding);
  }
  return layout;
}

std::vector<std::string> ProgressWindowLines(const ProgressWindowContent& window, size_t width,
                                             TerminalEncoding encoding) {
  const size_t inner = std::clamp<size_t>(width > 4 ? width - 4 : 1, 1, kBoxTextWidth);
  std::vector<std::string> lines = {
      BoxTopLine(DisplayText(window.caption, encoding), inner, encoding)};

  // The description has two lines in the window; the terminal gives it the second one only
  // when the first is full.
  std::string description = DisplayText(window.description, encoding);
  std::vector<std::string> wrapped = WrapText(description, inner > 3 ? inner - 3 : 1, encoding);
  lines.push_back(BoxTextLine(std::string(1, window.spinner) + "  " + wrapped[0], inner, encoding));
  if (wrapped.size() > 1) lines.push_back(BoxTextLine("   " + wrapped[1], inner, encoding));

  std::string task = DisplayText(window.task, encoding);
  const size_t task_room = inner > 3 ? inner - 3 : 0;
  if (DisplayWidth(task, encoding) > task_room) {
    task = task_room > 3 ? ClipToWidth(task, task_room - 3, encoding) + "..."
                         : ClipToWidth(task, task_room, encoding);
  }
  lines.push_back("| " + std::string("   \x1b[1m") + task + "\x1b[22m" +
                  Blanks(task_room - DisplayWidth(task, encoding)) + " |");

  const int percent = std::clamp(window.percent, 0, 100);
  const size_t bar = inner > 8 ? inner - 8 : 0;
  const auto filled = static_cast<size_t>(percent) * bar / 100;
  lines.push_back(BoxTextLine("[" + std::string(filled, '#') + std::string(bar - filled, '-') +
                                  "] " +
                                  (percent < 10    ? "  "
                                   : percent < 100 ? " "
                                                   : "") +
                                  std::to_string(percent) + "%",
                              inner, encoding));
  lines.push_back(
      BoxTextLine(Blanks(inner / 2 > 6 ? inner / 2 - 6 : 0) + "[ Cancel ]", inner, encoding));
  lines.push_back(BoxBottomLine(inner));
  return lines;
}

std::vector<std::string> FilePickerLines(const FilePicker& picker, size_t width, size_t entry_rows,
                                         bool compact, TerminalEncoding encoding) {
  const size_t inner = std::clamp<size_t>(width > 4 ? width - 4 : 1, 1, 100);
  auto shown = [encoding](const std::string& bytes) { return DisplayText(bytes, encoding); };
  auto framed = [&](const std::string& text) { return BoxTextLine(text, inner, encoding); };
  const auto& request = picker.request();

  const std::string look_in = "Look in: ";
  std::vector<std::string> lines = {
      BoxTopLine(shown(request.caption), inner, encoding),
      framed(look_in + ClipStartToWidth(shown(picker.folder()),
                                        inner > look_in.size() ? inner - look_in.size() : 0,
                                        encoding))};
  const auto& entries = picker.entries();
  const size_t room = std::max<size_t>(entry_rows, 1);
  size_t first = picker.cursor() >= room ? picker.cursor() - room + 1 : 0;
  for (size_t i = first; i < entries.size() && i < first + room; ++i) {
    const PickerEntry& entry = entries[i];
    std::string mark = entry.is_directory ? "    " : picker.IsChosen(entry.name) ? "[x] " : "[ ] ";
    lines.push_back(framed((i == picker.cursor() ? "> " : "  ") + mark + shown(entry.name) +
                           (entry.is_directory ? "/" : "")));
  }
  if (entries.empty()) lines.push_back(framed("  (empty)"));
  if (!compact) lines.push_back(framed(""));
  std::string type =
      request.descriptions.size() > picker.filter()
          ? request.descriptions[picker.filter()] + " (" + request.patterns[picker.filter()] + ")"
          : picker.pattern();
  const std::string file_name = "File name:     ";
  std::string field = shown(picker.field()) + (picker.editing() ? "_" : "");
  lines.push_back(framed(
      file_name +
      ClipStartToWidth(field, inner > file_name.size() ? inner - file_name.size() : 0, encoding)));
  lines.push_back(framed("Files of type: " + shown(type)));
  const std::string chosen = std::to_string(picker.chosen().size()) + " chosen";
  if (!compact) lines.push_back(framed(chosen));
  if (!picker.message().empty()) lines.push_back(framed(shown(picker.message())));
  lines.push_back(compact ? BoxTopLine(chosen, inner, encoding) : BoxBottomLine(inner));
  std::string help = picker.editing()
                         ? "  Type a name, folder or pattern; Enter: apply   Esc: back"
                         : "  Space: choose  Enter: open/OK  Backspace: up  Tab: type  /: name  "
                           "Esc: Cancel";
  for (std::string& line : HelpLines(help, width, encoding)) lines.push_back(std::move(line));
  return lines;
}

std::string ScreenTooSmallNotice(size_t width, size_t height) {
  std::string notice = "Terminal too small: " + std::to_string(width) + "x" +
                       std::to_string(height) + ", need " + std::to_string(kMinScreenWidth) + "x" +
                       std::to_string(kMinScreenHeight);
  return notice.substr(0, width);
}

std::vector<std::string> StackOnScreen(const std::vector<std::string>& window,
                                       const std::vector<std::string>& overlay, size_t height) {
  std::vector<std::string> lines;
  if (overlay.empty()) {
    lines = window;
  } else if (window.empty() || window.size() + 1 + overlay.size() > height) {
    lines = overlay;
  } else {
    lines = window;
    lines.emplace_back();
    lines.insert(lines.end(), overlay.begin(), overlay.end());
  }
  if (lines.size() > height) lines.resize(height);
  return lines;
}

}  // namespace qef
