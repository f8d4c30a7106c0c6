#include "runtime/settings.h"

#include <gtest/gtest.h>

#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "runtime/runtime.h"
#include "runtime/settings_overlay.h"

namespace qef {
namespace {

TEST(SettingsOverlayTest, OverlayValuesComeBeforeStoredOnes) {
  HeadlessSettings stored;
  stored.Set("S", "Both", "stored");
  stored.Set("S", "Stored", "stored only");
  stored.Set("S", "Emptied", "stored");
  SettingsOverlay overlay(stored);
  overlay.Set("S", "Both", "overlay");
  overlay.Set("S", "Emptied", "");
  overlay.Set("T", "Stored", "other sub-key");

  EXPECT_EQ(overlay.Query("S", "Both"), "overlay");
  EXPECT_EQ(overlay.Query("S", "Stored"), "stored only");
  EXPECT_EQ(overlay.Query("S", "Emptied"), "");
  EXPECT_EQ(overlay.Query("S", "Absent"), std::nullopt);
  EXPECT_EQ(overlay.Query("T", "Stored"), "other sub-key");
  EXPECT_EQ(overlay.QueryStringOrNumber("S", "Both"), "overlay");
  EXPECT_EQ(overlay.QueryStringOrNumber("S", "Stored"), "stored only");
  EXPECT_EQ(overlay.QueryStringOrNumber("S", "Absent"), std::nullopt);
}

// A store that keeps numbers apart from strings, as the registry does.
class NumberSettings : public HeadlessSettings {
 public:
  std::optional<std::string> QueryStringOrNumber(const std::string& sub_key,
                                                 const std::string& name) override {
    if (sub_key == "S" && name == "Number") return "1";
    return Query(sub_key, name);
  }
};

TEST(SettingsOverlayTest, NumbersComeFromTheStoreUnlessTheOverlayHasTheValue) {
  NumberSettings stored;
  SettingsOverlay overlay(stored);
  EXPECT_EQ(overlay.Query("S", "Number"), std::nullopt);
  EXPECT_EQ(overlay.QueryStringOrNumber("S", "Number"), "1");
  overlay.Set("S", "Number", "0");
  EXPECT_EQ(overlay.QueryStringOrNumber("S", "Number"), "0");
}

class QueryRTRegStringTest : public testing::Test {
 protected:
  HeadlessFileSystem files_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  ScopedRuntime runtime_{files_, settings_, ui_};
};

TEST_F(QueryRTRegStringTest, ReturnsTheStoredValue) {
  settings_.Set("Quillon Pack 2\\Export Fix", "Bad", std::string(":/\\*\0\"'?|<>", 11));
  EXPECT_EQ(QueryRTRegString("Quillon Pack 2\\Export Fix", "Bad"),
            std::string(":/\\*\0\"'?|<>", 11));
}

TEST_F(QueryRTRegStringTest, ReturnsAnEmptyStringWhenTheValueIsAbsent) {
  settings_.Set("Quillon Pack 2\\Export Fix", "Good", "----------");
  EXPECT_EQ(QueryRTRegString("Quillon Pack 2\\Export Fix", "Bad"), "");
  EXPECT_EQ(QueryRTRegString("Other", "Good"), "");
}

TEST_F(QueryRTRegStringTest, StringOrNumberIsTheStoredTextOrEmpty) {
  settings_.Set("S", "N", "1");
  EXPECT_EQ(QueryRTRegStringOrNumber("S", "N"), "1");
  EXPECT_EQ(QueryRTRegStringOrNumber("S", "Absent"), "");
}

TEST_F(QueryRTRegStringTest, AsksTheInstalledRuntimesSettings) {
  HeadlessSettings inner_settings;
  inner_settings.Set("S", "N", "inner");
  settings_.Set("S", "N", "outer");
  {
    ScopedRuntime inner(files_, inner_settings, ui_);
    EXPECT_EQ(QueryRTRegString("S", "N"), "inner");
  }
  EXPECT_EQ(QueryRTRegString("S", "N"), "outer");
}

}  // namespace
}  // namespace qef
