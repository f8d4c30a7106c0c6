// Reads the program's resources back through the Windows resource functions.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace qef {
namespace {

// A bounds-checked little-endian reader over a resource's bytes.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint16_t Word() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
  uint32_t Dword() { return Word() | static_cast<uint32_t>(Word()) << 16; }
  int16_t Short() { return static_cast<int16_t>(Word()); }
  uint8_t Byte() {
    if (offset_ >= size_) {
      failed_ = true;
      return 0;
    }
    return data_[offset_++];
  }
  // A zero-ended UTF-16 string of ASCII characters.
  std::string Text() {
    std::string text;
    for (uint16_t c; (c = Word()) != 0 && !failed_;) text += static_cast<char>(c);
    return text;
  }
  // A name or ordinal: 0xFFFF and a number, or a string.
  std::string NameOrOrdinal() {
    uint16_t first = Word();
    if (first == 0xFFFF) return "#" + std::to_string(Word());
    if (first == 0) return "";
    std::string text(1, static_cast<char>(first));
    return text + Text();
  }
  void AlignToDword() { offset_ = (offset_ + 3) & ~size_t{3}; }
  size_t offset() const { return offset_; }
  bool failed() const { return failed_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
  bool failed_ = false;
};

Bytes Resource(LPCSTR name, LPCSTR type) {
  HRSRC found = FindResourceA(nullptr, name, type);
  if (found == nullptr) return Bytes(nullptr, 0);
  auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
  return Bytes(data, SizeofResource(nullptr, found));
}

struct Item {
  uint32_t help_id, ex_style, style;
  int16_t x, y, cx, cy;
  uint32_t id;
  std::string window_class, text;
  uint16_t extra;
};

TEST(Win32ResourcesTest, ProgressWindowTemplateHoldsEveryFieldOfTheTable) {
  Bytes bytes = Resource("WinProgress", MAKEINTRESOURCEA(5));  // found without regard to case
  EXPECT_EQ(bytes.Word(), 1) << "version";
  EXPECT_EQ(bytes.Word(), 0xFFFF) << "signature";
  EXPECT_EQ(bytes.Dword(), 0u) << "help id";
  EXPECT_EQ(bytes.Dword(), 0u) << "extended style";
  EXPECT_EQ(bytes.Dword(), 0x80C80844u) << "style";
  EXPECT_EQ(bytes.Word(), 5) << "controls";
  EXPECT_EQ(bytes.Short(), 4);
  EXPECT_EQ(bytes.Short(), 16);
  EXPECT_EQ(bytes.Short(), 295);
  EXPECT_EQ(bytes.Short(), 79);
  EXPECT_EQ(bytes.NameOrOrdinal(), "") << "no menu";
  EXPECT_EQ(bytes.NameOrOrdinal(), "") << "the system dialog class";
  EXPECT_EQ(bytes.Text(), "Quillon Pack");
  EXPECT_EQ(bytes.Word(), 8) << "points";
  EXPECT_EQ(bytes.Word(), 0) << "weight";
  EXPECT_EQ(bytes.Byte(), 0) << "italic";
  EXPECT_EQ(bytes.Byte(), 1) << "character set";
  EXPECT_EQ(bytes.Text(), "MS Sans Serif");

  const Item expected[] = {
      {0, 0, 0x50010000, 122, 60, 53, 12, 100, "#128", "&Cancel", 0},
      {0, 0x00020000, 0x50000000, 6, 45, 280, 8, 101, "msctls_progress32", "", 0},
      {0, 0, 0x50000001, 58, 27, 230, 12, 102, "#130", "", 0},
      {0, 0, 0x50000001, 58, 4, 229, 21, 103, "#130", "", 0},
      {0, 0, 0x50000002, 4, 2, 53, 36, 104, "SysAnimate32", "", 0},
  };
  for (const Item& want : expected) {
    SCOPED_TRACE(want.id);
    bytes.AlignToDword();
    EXPECT_EQ(bytes.Dword(), want.help_id);
    EXPECT_EQ(bytes.Dword(), want.ex_style);
    EXPECT_EQ(bytes.Dword(), want.style);
    EXPECT_EQ(bytes.Short(), want.x);
    EXPECT_EQ(bytes.Short(), want.y);
    EXPECT_EQ(bytes.Short(), want.cx);
    EXPECT_EQ(bytes.Short(), want.cy);
    EXPECT_EQ(bytes.Dword(), want.id);
    EXPECT_EQ(bytes.NameOrOrdinal(), want.window_class);
    EXPECT_EQ(bytes.NameOrOrdinal(), want.text);
    EXPECT_EQ(bytes.Word(), want.extra) << "no creation data";
  }
  EXPECT_FALSE(bytes.failed()) << "the template ended early";
}

// The texts as the resource script states them, to compare with what the program carries.
std::vector<std::pair<int, std::string>> ScriptTexts() {
  std::ifstream script(QEF_ERROR_TEXTS_RC);
  std::stringstream text;
  text << script.rdbuf();
  std::string all = text.str();
  std::vector<std::pair<int, std::string>> texts;
  const std::regex entry(R"re((\d+), "([^"]*)")re");
  for (std::sregex_iterator it(all.begin(), all.end(), entry), end; it != end; ++it) {
    texts.emplace_back(std::stoi((*it)[1]), (*it)[2]);
  }
  return texts;
}

TEST(Win32ResourcesTest, ErrorTextsAreTheFortyFourOfTheTable) {
  auto texts = ScriptTexts();
  ASSERT_EQ(texts.size(), 44u);
  char buffer[256];
  for (const auto& [id, expected] : texts) {
    int length = LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(id), buffer, 256);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(std::max(length, 0))), expected) << id;
  }
  EXPECT_EQ(texts.front(),
            (std::pair<int, std::string>{65001, "aLookupTable must be dimensioned n by 2"}));
  EXPECT_EQ(texts.back(), (std::pair<int, std::string>{65045, "Incomprehensible data types"}));
  EXPECT_EQ(LoadStringA(GetModuleHandleA(nullptr), 65042, buffer, 256), 0) << "65042 is no entry";
  EXPECT_EQ(LoadStringA(GetModuleHandleA(nullptr), 65012, buffer, 256), 7);
  EXPECT_STREQ(buffer, " CurDir");
}

TEST(Win32ResourcesTest, SymbolTableIsResource21569NumberOne) {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(21569));
  ASSERT_NE(found, nullptr);
  auto* data = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
  EXPECT_EQ(std::string(data, 9), "ATOMTABLE");
}

TEST(Win32ResourcesTest, IconsAreFoundWithoutRegardToCase) {
  for (const char* name : {"icoCAIN", "ICOCAIN", "AICOZEMB", "icozembwink", "IcoSqlServer"}) {
    EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), name), nullptr) << name;
  }
  EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), "ICONOSUCH"), nullptr);
}

TEST(Win32ResourcesTest, AnimationClipIsAnAviResourceNamedQspin) {
  HRSRC found = FindResourceA(nullptr, "QSPIN", "AVI");
  ASSERT_NE(found, nullptr);
  auto* data = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
  EXPECT_EQ(std::string(data, 4), "RIFF");
  EXPECT_EQ(std::string(data + 8, 4), "AVI ");
}

}  // namespace
}  // namespace qef
