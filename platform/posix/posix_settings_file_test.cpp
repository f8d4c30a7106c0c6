#include "platform/posix/posix_settings_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <optional>
#include <string>

#include "platform/posix/posix_test_folder.h"

namespace qef {
namespace {

using namespace std::string_literals;

constexpr char kSection[] = "Quillon Pack 2\\Export Fix";

TEST(FindSettingTest, FindsValuesByteForByte) {
  struct Case {
    const char* name;
    std::string text;
    std::string sub_key;
    std::string value_name;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"plain", "[Quillon Pack 2\\Export Fix]\nBad=x\n", kSection, "Bad", "x"},
      {"section and name in other case", "[QUILLON pack 2\\export FIX]\nbAD=x\n", kSection, "Bad",
       "x"},
      {"blanks around section and name", "[  S  ]\n \t Name \t=v\n", "S", "Name", "v"},
      {"blanks in the value kept", "[S]\nN=  a b \t\n", "S", "N", "  a b \t"},
      {"the ten characters", "[S]\nBad=:/\\*\"'?|<>\n", "S", "Bad", ":/\\*\"'?|<>"},
      {"value containing =", "[S]\nN=a=b=\n", "S", "N", "a=b="},
      {"empty value", "[S]\nN=\n", "S", "N", ""},
      {"CRLF line ends", "[S]\r\nN=v\r\nM=w\r\n", "S", "N", "v"},
      {"only the last CR dropped", "[S]\r\nN=v\r\r\n", "S", "N", "v\r"},
      {"CR inside the value", "[S]\nN=a\rb\r\n", "S", "N", "a\rb"},
      {"NUL bytes in the value", "[S]\nN=a\0b\0\n"s, "S", "N", "a\0b\0"s},
      {"no line feed at the end", "[S]\nN=v", "S", "N", "v"},
      {"comments", "[S]\n;N=1\n#N=2\n  ; N=3\n", "S", "N", std::nullopt},
      {"last value wins", "[S]\nN=1\nN=2\n", "S", "N", "2"},
      {"last value wins over sections", "[S]\nN=1\n[T]\nN=3\n[s]\nN=2\n[T]\n", "S", "N", "2"},
      {"value before any section", "N=1\n[S]\nM=2\n", "S", "N", std::nullopt},
      {"value in another section", "[T]\nN=1\n[S]\nM=2\n", "S", "N", std::nullopt},
      {"section name is a prefix", "[S2]\nN=1\n", "S", "N", std::nullopt},
      {"value name is a prefix", "[S]\nNN=1\nN2=2\n", "S", "N", std::nullopt},
      {"line without =", "[S]\nN\n", "S", "N", std::nullopt},
      {"empty text", "", "S", "N", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindSetting(c.text, c.sub_key, c.value_name), c.expected) << c.name;
  }
}

class PosixSettingsFileTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(folder_.path().empty()); }
  PosixTestFolder folder_;
};

TEST_F(PosixSettingsFileTest, ReadsTheValueFromTheFile) {
  folder_.Put("exportfix.ini", "[Quillon Pack 2\\Export Fix]\r\nBad=:/\\*\"'?|<>\r\n");
  PosixSettingsFile settings(folder_.Path("exportfix.ini"));
  EXPECT_EQ(settings.Query(kSection, "Bad"), ":/\\*\"'?|<>");
}

TEST_F(PosixSettingsFileTest, ReadsTheFileAfreshOnEveryQuery) {
  folder_.Put("exportfix.ini", "[S]\nN=1\n");
  PosixSettingsFile settings(folder_.Path("exportfix.ini"));
  EXPECT_EQ(settings.Query("S", "N"), "1");
  folder_.Put("exportfix.ini", "[S]\nN=2\n");
  EXPECT_EQ(settings.Query("S", "N"), "2");
}

TEST_F(PosixSettingsFileTest, MissingFileHoldsNoValue) {
  PosixSettingsFile settings(folder_.Path("missing.ini"));
  EXPECT_EQ(settings.Query("S", "N"), std::nullopt);
}

TEST_F(PosixSettingsFileTest, FolderInPlaceOfTheFileHoldsNoValue) {
  ASSERT_EQ(::mkdir(folder_.Path("folder.ini").c_str(), 0700), 0);
  PosixSettingsFile settings(folder_.Path("folder.ini"));
  EXPECT_EQ(settings.Query("S", "N"), std::nullopt);
}

TEST_F(PosixSettingsFileTest, OnlyARegularFileOfASaneSizeIsRead) {
  PosixSettingsFile device("/dev/zero");  // read whole, it would never end
  EXPECT_EQ(device.Query("S", "N"), std::nullopt);
  ASSERT_EQ(::mkfifo(folder_.Path("fifo.ini").c_str(), 0600), 0);
  PosixSettingsFile fifo(folder_.Path("fifo.ini"));  // no writer: reading would wait
  EXPECT_EQ(fifo.Query("S", "N"), std::nullopt);
  PosixSettingsFile none("");
  EXPECT_EQ(none.Query("S", "N"), std::nullopt);

  std::string text = "[S]\nN=1\n";
  folder_.Put("full.ini", text + std::string(kMaxSettingsSize - text.size(), '#'));
  PosixSettingsFile full(folder_.Path("full.ini"));
  EXPECT_EQ(full.Query("S", "N"), "1") << "exactly the largest size allowed";

  folder_.Put("big.ini", text + std::string(kMaxSettingsSize, '#'));
  std::FILE* warnings = std::tmpfile();
  ASSERT_NE(warnings, nullptr);
  PosixSettingsFile big(folder_.Path("big.ini"), warnings);
  EXPECT_EQ(big.Query("S", "N"), std::nullopt);
  EXPECT_EQ(big.Query("S", "M"), std::nullopt);
  std::rewind(warnings);
  std::string told;
  for (int c; (c = std::fgetc(warnings)) != EOF;) told += static_cast<char>(c);
  std::fclose(warnings);
  EXPECT_EQ(told, "The settings file " + folder_.Path("big.ini") +
                      " is larger than 1 MiB and is not read: the defaults apply.\n")
      << "told once";
}

// Sets or unsets an environment variable for the test's lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(DefaultSettingsPathTest, FollowsTheEnvironment) {
  struct Case {
    const char* explicit_path;  // null: unset
    const char* xdg_config_home;
    const char* home;
    std::string expected;
  };
  const Case cases[] = {
      {"/etc/fix.ini", "/xdg", "/home/u", "/etc/fix.ini"},
      {"", "/xdg", "/home/u", "/xdg/quillon/exportfix.ini"},
      {nullptr, "/xdg", "/home/u", "/xdg/quillon/exportfix.ini"},
      {nullptr, "", "/home/u", "/home/u/.config/quillon/exportfix.ini"},
      {nullptr, nullptr, "/home/u", "/home/u/.config/quillon/exportfix.ini"},
      // Never the current folder: a relative XDG_CONFIG_HOME is ignored, as the XDG rules say,
      // and without a usable HOME there is no settings file.
      {nullptr, "xdg", "/home/u", "/home/u/.config/quillon/exportfix.ini"},
      {nullptr, ".", nullptr, ""},
      {nullptr, nullptr, nullptr, ""},
      {nullptr, nullptr, "", ""},
      {nullptr, "", "home/u", ""},
  };
  for (const Case& c : cases) {
    ScopedEnv explicit_path("EXPORTFIX_SETTINGS", c.explicit_path);
    ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg_config_home);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(DefaultSettingsPath(), c.expected);
  }
}

}  // namespace
}  // namespace qef
