#pragma once

// The terminal UI's layout as plain functions of text and screen size, so it can be tested and
// fuzzed without a terminal. Lines come back as display text: no control character, and none
// wider than the width it was laid out for.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/display_text.h"
#include "ui/file_picker.h"

namespace qef {

// The smallest screen the terminal UI draws on; a smaller one gets a one-line notice.
inline constexpr size_t kMinScreenWidth = 40;
inline constexpr size_t kMinScreenHeight = 12;
// The widest a box's text area grows.
inline constexpr size_t kBoxTextWidth = 64;

// The columns `text` (display text, as DisplayText makes it) takes on the screen. East Asian
// wide characters and emoji count two; anything uncertain counts at least what it shows.
size_t DisplayWidth(std::string_view text, TerminalEncoding encoding);
// The longest start of `text` that takes at most `columns`, never splitting a character.
std::string ClipToWidth(std::string_view text, size_t columns, TerminalEncoding encoding);
// The longest end of `text` that takes at most `columns` (for paths, whose end matters most).
std::string ClipStartToWidth(std::string_view text, size_t columns, TerminalEncoding encoding);
// `text` padded with blanks to `columns`, or clipped to it.
std::string FitToWidth(std::string_view text, size_t columns, TerminalEncoding encoding);

// Display text cut into lines of at most `width` columns: at its "\r\n" pairs, then at the last
// blank that fits (which is dropped), or within a word that is longer than the line.
std::vector<std::string> WrapText(std::string_view text, size_t width, TerminalEncoding encoding);

// The frame of a box whose text area is `width` columns wide: "+- caption ---+", "| text |",
// "+------+". Each line is `width` + 4 columns; the caption is clipped to fit.
std::string BoxTopLine(std::string_view caption, size_t width, TerminalEncoding encoding);
std::string BoxTextLine(std::string_view text, size_t width, TerminalEncoding encoding);
std::string BoxBottomLine(size_t width);
// A line of key help under a box, wrapped to the screen's `width`; its lines keep the help's
// indent.
std::vector<std::string> HelpLines(std::string_view help, size_t width, TerminalEncoding encoding);

// A modal box: its caption and text as untrusted bytes (the text's line breaks are "\r\n"), its
// buttons, the focused one, and the key help shown under it.
struct BoxSpec {
  std::string caption;
  std::string text;
  std::vector<std::string> buttons;
  size_t focus = 0;
  size_t button_gap = 2;  // blanks between two buttons
  std::string help;
  // The first line of the wrapped text that is shown; clamped to what the box can scroll.
  size_t scroll = 0;
};

struct BoxLayout {
  std::vector<std::string> lines;  // the box and its help, top to bottom
  size_t text_lines = 0;           // lines of wrapped text in all
  size_t shown_text_lines = 0;     // of which the box shows this many
  size_t scroll = 0;               // from this one on
  size_t max_scroll = 0;           // 0: the whole text fits
  size_t button_row = 0;           // the index in `lines` of the first row of buttons
};

// Lays out a box on a screen of `width` columns and `height` rows. The text wraps to the width
// (at most kBoxTextWidth); when the box is taller than the screen its text scrolls and a line
// says which lines are shown, while the buttons stay on screen.
BoxLayout LayOutBox(const BoxSpec& box, size_t width, size_t height, TerminalEncoding encoding);

// The buttons of a box, centred in rows of `width` columns: the focused one "[> OK <]", the
// others "[  OK  ]", compacter when they do not fit, and on more rows when even that does not.
std::vector<std::string> ButtonRows(const std::vector<std::string>& labels, size_t focus,
                                    size_t gap, size_t width, TerminalEncoding encoding);

// The progress window: caption, a spinner beside the description (wrapped to two lines at
// most), the bold task line (clipped), the bar with its percentage and the Cancel button. The
// texts are untrusted bytes; the task line carries the terminal's bold on and off sequences.
struct ProgressWindowContent {
  std::string caption;
  std::string description;
  std::string task;
  int percent = 0;
  char spinner = ' ';
};
std::vector<std::string> ProgressWindowLines(const ProgressWindowContent& window, size_t width,
                                             TerminalEncoding encoding);

// The file picker on a screen `width` columns wide, with `entry_rows` of the folder's entries
// around the cursor. Names, the folder and the typed field are untrusted bytes. `compact` saves
// two rows for a small screen: no blank line, and the count chosen in the bottom line.
std::vector<std::string> FilePickerLines(const FilePicker& picker, size_t width, size_t entry_rows,
                                         bool compact, TerminalEncoding encoding);

// The one line shown on a screen smaller than the terminal UI needs.
std::string ScreenTooSmallNotice(size_t width, size_t height);

// The progress window above a box or the file picker, with a blank line between, when both fit
// in `height` rows; otherwise the overlay alone (a modal box hides its owner), and without an
// overlay the window, clipped to the screen.
std::vector<std::string> StackOnScreen(const std::vector<std::string>& window,
                                       const std::vector<std::string>& overlay, size_t height);

}  // namespace qef
