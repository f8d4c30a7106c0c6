#include "ui/terminal_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace qef {
namespace {

constexpr auto kUtf8 = TerminalEncoding::kUtf8;
constexpr auto kEightBit = TerminalEncoding::kEightBit;

const char kIntroText[] =
    "The CA-VO 2.5 version control features can experience problems if some invalid characters "
    "are used in application or module names. \r\n\r\nThis program will replace invalid "
    "characters in AEFs/MEFs with valid characters.\r\n\r\nAfter you press OK on this window you "
    "will be able to select the files you want to correct. The fixed files will be written with "
    "a '.FIX' extension. (Any existing *.FIX files will be overwritten).";

// The columns of a line as the terminal shows it: the bold on and off sequences take none.
size_t ShownWidth(std::string line) {
  for (const char* sequence : {"\x1b[1m", "\x1b[22m"}) {
    for (size_t at; (at = line.find(sequence)) != std::string::npos;)
      line.erase(at, std::string(sequence).size());
  }
  return DisplayWidth(line, kUtf8);
}

bool HasControlCharacter(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

TEST(TerminalLayoutTest, DisplayWidthCountsColumnsNotBytes) {
  struct Case {
    std::string text;
    TerminalEncoding encoding;
    size_t columns;
  } cases[] = {
      {"Sales Order.AEF", kUtf8, 15},
      {"evil\\x1b[2J", kUtf8, 11},                 // an escaped byte is four columns
      {"Caf\xc3\xa9", kUtf8, 4},                   // é is one
      {"\xe4\xb8\xad\xe6\x96\x87.AEF", kUtf8, 8},  // two wide Han characters
      {"\xf0\x9f\x98\x80", kUtf8, 2},              // an emoji
      {"Caf\xe9 \xe4\xb8\xad", kEightBit, 8},      // one column per byte
  };
  for (const Case& c : cases) EXPECT_EQ(DisplayWidth(c.text, c.encoding), c.columns) << c.text;
}

TEST(TerminalLayoutTest, ClippingNeverSplitsACharacter) {
  const std::string text = "a\xc3\xa9\xe4\xb8\xad";  // a, é, a wide Han character
  struct Case {
    size_t columns;
    std::string start;
    std::string end;
  } cases[] = {
      {0, "", ""},
      {1, "a", ""},
      {2, "a\xc3\xa9", "\xe4\xb8\xad"},
      {3, "a\xc3\xa9", "\xc3\xa9\xe4\xb8\xad"},
      {4, text, text},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClipToWidth(text, c.columns, kUtf8), c.start) << c.columns;
    EXPECT_EQ(ClipStartToWidth(text, c.columns, kUtf8), c.end) << c.columns;
  }
  EXPECT_EQ(FitToWidth("ab", 4, kUtf8), "ab  ");
  EXPECT_EQ(FitToWidth("abcdef", 4, kUtf8), "abcd");
}

TEST(TerminalLayoutTest, WrapsAtBlanksAndLineBreaksAndCutsLongWords) {
  struct Case {
    std::string text;
    size_t width;
    std::vector<std::string> lines;
  } cases[] = {
      {"one two three", 7, {"one two", "three"}},
      {"one two three", 8, {"one two", "three"}},
      {"one\r\n\r\ntwo", 10, {"one", "", "two"}},
      {"abcdefghij", 4, {"abcd", "efgh", "ij"}},
      {"ab cdefghij", 4, {"ab", "cdef", "ghij"}},
      {"line\r\n", 10, {"line", ""}},
      {"", 10, {""}},
  };
  for (const Case& c : cases) EXPECT_EQ(WrapText(c.text, c.width, kUtf8), c.lines) << c.text;
}

TEST(TerminalLayoutTest, WrapsWideCharactersByTheirColumns) {
  const std::string han = "\xe4\xb8\xad";
  EXPECT_EQ(WrapText(han + han + han, 4, kUtf8), (std::vector<std::string>{han + han, han}));
  EXPECT_EQ(WrapText(han, 1, kUtf8), std::vector<std::string>{han}) << "wider than the line";
}

TEST(TerminalLayoutTest, ABoxThatFitsKeepsItsFullLayout) {
  BoxSpec box;
  box.caption = "Title";
  box.text = "(i) Hello\r\n\r\nWorld";
  box.buttons = {"OK", "Cancel"};
  box.button_gap = 3;
  box.help = "  Enter: choose   Tab: other button   Esc: Cancel";
  BoxLayout layout = LayOutBox(box, 80, SIZE_MAX, kUtf8);
  auto framed = [](const std::string& text) {
    return "| " + text + std::string(64 - text.size(), ' ') + " |";
  };
  const std::string buttons = "[> OK <]   [  Cancel  ]";
  EXPECT_EQ(layout.lines,
            (std::vector<std::string>{"+- Title " + std::string(58, '-') + "+", framed("(i) Hello"),
                                      framed(""), framed("World"), framed(""),
                                      framed(std::string(20, ' ') + buttons),
                                      "+" + std::string(66, '-') + "+", box.help}));
  EXPECT_EQ(layout.max_scroll, 0u);
  EXPECT_EQ(layout.button_row, 5u);
}

TEST(TerminalLayoutTest, ATallBoxScrollsItsTextAndKeepsItsButtons) {
  BoxSpec box;
  box.caption = "Quillon Export File Fix v1.1";
  box.text = std::string("(i) ") + kIntroText;
  box.buttons = {"OK", "Cancel"};
  box.help = "  Enter: choose   Tab: other button   Esc: Cancel";
  const std::vector<std::string> all = WrapText(box.text, 36, kUtf8);
  for (box.scroll = 0; box.scroll < all.size() + 3; ++box.scroll) {
    BoxLayout layout = LayOutBox(box, 40, 12, kUtf8);
    ASSERT_LE(layout.lines.size(), 12u);
    for (const auto& line : layout.lines) EXPECT_LE(DisplayWidth(line, kUtf8), 40u) << line;
    EXPECT_NE(layout.lines[layout.button_row].find("[> OK <]"), std::string::npos);
    EXPECT_NE(layout.lines[layout.button_row - 1].find("Up/Down: scroll"), std::string::npos);
    EXPECT_EQ(layout.max_scroll, all.size() - layout.shown_text_lines);
    EXPECT_EQ(layout.scroll, std::min(box.scroll, layout.max_scroll));
    // The text shown starts at the line scrolled to; at the end it shows the last line.
    EXPECT_EQ(layout.lines[1], BoxTextLine(all[layout.scroll], 36, kUtf8));
    EXPECT_EQ(layout.lines[layout.shown_text_lines],
              BoxTextLine(all[layout.scroll + layout.shown_text_lines - 1], 36, kUtf8));
  }
}

TEST(TerminalLayoutTest, BoxesShowControlCharactersEscaped) {
  BoxSpec box;
  box.caption = "Err\x07or";
  box.text = "Cannot open evil\x1b[2J\x1b]0;owned\x1b\\.AEF\r\nnext\nline";
  box.buttons = {"OK"};
  BoxLayout layout = LayOutBox(box, 80, 24, kUtf8);
  std::string all;
  for (const auto& line : layout.lines) all += line + "\n";
  for (const auto& line : layout.lines) EXPECT_FALSE(HasControlCharacter(line)) << line;
  EXPECT_NE(all.find("Err\\x07or"), std::string::npos);
  EXPECT_NE(all.find("evil\\x1b[2J\\x1b]0;owned\\x1b\\\\.AEF"), std::string::npos);
  EXPECT_NE(all.find("next\\x0aline"), std::string::npos) << "only CR LF breaks a line";
}

TEST(TerminalLayoutTest, ButtonsThatDoNotFitGetCompacterThenMoreRows) {
  const std::vector<std::string> labels = {"Continue", "Retry", "Break"};
  EXPECT_EQ(ButtonRows(labels, 0, 2, 64, kUtf8).size(), 1u);
  std::vector<std::string> compact = ButtonRows(labels, 1, 2, 36, kUtf8);
  ASSERT_EQ(compact.size(), 1u);
  EXPECT_NE(compact[0].find("[ Continue ] [>Retry<] [ Break ]"), std::string::npos);
  std::vector<std::string> rows = ButtonRows(labels, 2, 2, 14, kUtf8);
  EXPECT_EQ(rows.size(), 3u);
  for (const auto& row : rows) EXPECT_LE(DisplayWidth(row, kUtf8), 14u) << row;
}

TEST(TerminalLayoutTest, TheProgressWindowFitsItsWidth) {
  ProgressWindowContent window;
  window.caption = "Quillon Export File Fix v1.1";
  window.description = "Replacing invalid characters in App/Module names...";
  window.task = "Invoice Manager.AEF";
  window.percent = 42;
  window.spinner = '/';
  std::vector<std::string> wide = ProgressWindowLines(window, 80, kUtf8);
  ASSERT_EQ(wide.size(), 6u);
  for (const auto& line : wide) EXPECT_EQ(ShownWidth(line), 68u) << line;
  EXPECT_EQ(wide[1], "| /  " + window.description + std::string(10, ' ') + " |");
  EXPECT_EQ(wide[2], "|    \x1b[1mInvoice Manager.AEF\x1b[22m" + std::string(42, ' ') + " |");

  window.task = "evil\x1b]0;owned\x07 with a name much longer than the line.AEF";
  std::vector<std::string> narrow = ProgressWindowLines(window, 40, kUtf8);
  ASSERT_EQ(narrow.size(), 7u) << "the description takes its second line";
  for (const auto& line : narrow) EXPECT_EQ(ShownWidth(line), 40u) << line;
  EXPECT_NE(narrow[3].find("evil\\x1b]0;owned\\x07 with a na..."), std::string::npos) << narrow[3];
  EXPECT_NE(narrow[4].find("42%"), std::string::npos);
}

OpenDialogRequest ExportFilesRequest() {
  OpenDialogRequest request;
  request.caption = "Select Export Files to fix";
  request.initial_file_name = "*.AEF;*.MEF";
  request.options = OFN_ALLOWMULTISELECT;
  request.patterns = {"*.AEF;*.MEF", "*.*"};
  request.descriptions = {"Export Files", "All files"};
  return request;
}

std::optional<std::vector<PickerEntry>> EvilFolder(const std::string& folder) {
  if (folder != "/work/\x1b[31mred") return std::nullopt;
  return std::vector<PickerEntry>{{"evil\x1b[2J.AEF", false}, {"sub\x9b", true}, {"a.AEF", false}};
}

TEST(TerminalLayoutTest, ThePickerEscapesNamesAndFitsTheScreen) {
  FilePicker picker(ExportFilesRequest(), "/work/\x1b[31mred", EvilFolder);
  for (size_t width : {40u, 80u, 120u}) {
    for (bool compact : {false, true}) {
      std::vector<std::string> lines = FilePickerLines(picker, width, 4, compact, kEightBit);
      std::string all;
      for (const auto& line : lines) {
        EXPECT_LE(DisplayWidth(line, kEightBit), width) << line;
        all += line;
      }
      EXPECT_FALSE(HasControlCharacter(all)) << all;
      EXPECT_EQ(all.find('\x9b'), std::string::npos) << "a C1 control in an eight-bit locale";
      EXPECT_NE(all.find("evil\\x1b[2J.AEF"), std::string::npos);
      EXPECT_NE(all.find("sub\\x9b/"), std::string::npos);
      EXPECT_NE(all.find(compact ? "+- 0 chosen -" : "| 0 chosen "), std::string::npos);
    }
  }
}

TEST(TerminalLayoutTest, ThePickerShowsTheEndOfALongFolder) {
  std::string folder = "/" + std::string(60, 'x') + "/work";
  FilePicker picker(ExportFilesRequest(), folder, [&](const std::string& asked) {
    return asked == folder ? std::optional<std::vector<PickerEntry>>(std::vector<PickerEntry>())
                           : std::nullopt;
  });
  std::vector<std::string> lines = FilePickerLines(picker, 40, 3, true, kUtf8);
  EXPECT_EQ(lines[1], "| Look in: " + std::string(22, 'x') + "/work |");
}

TEST(TerminalLayoutTest, StacksTheWindowAboveAnOverlayOnlyWhenBothFit) {
  const std::vector<std::string> window(6, "w");
  const std::vector<std::string> box(5, "b");
  EXPECT_EQ(StackOnScreen(window, box, 12).size(), 12u);
  EXPECT_EQ(StackOnScreen(window, box, 12)[6], "");
  EXPECT_EQ(StackOnScreen(window, box, 11), box);
  EXPECT_EQ(StackOnScreen(window, {}, 4), std::vector<std::string>(4, "w"));
  EXPECT_EQ(StackOnScreen({}, box, 3), std::vector<std::string>(3, "b"));
}

TEST(TerminalLayoutTest, TheTooSmallNoticeIsOneLineThatFits) {
  EXPECT_EQ(ScreenTooSmallNotice(39, 12), "Terminal too small: 39x12, need 40x12");
  EXPECT_EQ(ScreenTooSmallNotice(10, 5), "Terminal t");
}

}  // namespace
}  // namespace qef
