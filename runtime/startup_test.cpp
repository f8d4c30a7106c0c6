#include "runtime/startup.h"

#include <gtest/gtest.h>

#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "runtime/runtime.h"

namespace qef {
namespace {

class Started : public Object {
 public:
  static inline int starts = 0;
};

struct Fixture {
  HeadlessFileSystem fs;
  HeadlessSettings settings;
  HeadlessUi ui;
  std::vector<std::string> trace;
  std::string table = BuildSymbolTable({"App", "Start"});

  Program MakeProgram() {
    Program program;
    program.find_resource = [this](int type, int id) -> std::optional<std::string_view> {
      if (type == kSymbolTableResourceType && id == kSymbolTableResourceId) return table;
      return std::nullopt;
    };
    program.register_classes = [this](ClassRegistry& registry) {
      trace.push_back("register");
      return registry.Register(Symbol("App"), [] { return std::make_unique<Started>(); },
                               {{Symbol("Start"), [](Object&) { ++Started::starts; }}});
    };
    for (int slot = 0; slot < kInitSlotCount; ++slot) {
      program.init_procedures[static_cast<size_t>(slot)] = [this, slot] {
        trace.push_back("procedure " + std::to_string(slot) + " with " +
                        std::to_string(_GetRTCount()) + " run-time");
      };
    }
    return program;
  }
  int Run(const Program& program) { return RunProgram(program, {fs, settings, ui}, &trace); }
};

TEST(StartupTest, RunsEachStepInItsOrderAndStartsTheAppOnce) {
  Fixture f;
  Started::starts = 0;
  EXPECT_EQ(f.Run(f.MakeProgram()), 0);
  EXPECT_EQ(Started::starts, 1);
  EXPECT_EQ(f.trace, (std::vector<std::string>{"symbol table",
                                               "RTInit",
                                               "register",
                                               "classes",
                                               "procedure 0 with 1 run-time",
                                               "init 0",
                                               "procedure 1 with 1 run-time",
                                               "init 1",
                                               "procedure 2 with 1 run-time",
                                               "init 2",
                                               "procedure 3 with 1 run-time",
                                               "init 3",
                                               "procedure 4 with 1 run-time",
                                               "init 4",
                                               "procedure 5 with 1 run-time",
                                               "init 5",
                                               "procedure 6 with 1 run-time",
                                               "init 6",
                                               "App:Start",
                                               "Start returned",
                                               "RTExit"}));
  EXPECT_EQ(_GetRTCount(), 0);
}

TEST(StartupTest, EmptyProcedureSlotsAreSkipped) {
  Fixture f;
  Program program = f.MakeProgram();
  program.init_procedures[kErrorSystem] = nullptr;
  program.init_procedures[kErrorFunction] = nullptr;
  EXPECT_EQ(f.Run(program), 0);
  EXPECT_EQ(std::count(f.trace.begin(), f.trace.end(), "init 1"), 0);
  EXPECT_EQ(std::count(f.trace.begin(), f.trace.end(), "init 2"), 0);
  EXPECT_EQ(std::count(f.trace.begin(), f.trace.end(), "init 3"), 1);
}

TEST(StartupTest, FailuresBeforeStartEndWithMinusOne) {
  struct Case {
    const char* name;
    std::string table;
    bool registration_fails;
    bool rt_exit;  // RTExit runs only once RTInit has
  } cases[] = {
      {"no resource", "", false, false},
      {"wrong signature", "ATOMTABLX" + BuildSymbolTable({"App", "Start"}).substr(9), false, false},
      {"count beyond the data", BuildSymbolTable({"App", "Start"}).substr(0, 20), false, false},
      {"bytes after the names", BuildSymbolTable({"App", "Start"}) + "x", false, false},
      {"class missing from the table", BuildSymbolTable({"Start"}), false, true},
      {"method missing from the table", BuildSymbolTable({"App"}), false, true},
      {"registration refused", BuildSymbolTable({"App", "Start"}), true, true},
  };
  for (const Case& c : cases) {
    Fixture f;
    Started::starts = 0;
    f.table = c.table;
    Program program = f.MakeProgram();
    if (c.registration_fails) program.register_classes = [](ClassRegistry&) { return false; };
    EXPECT_EQ(f.Run(program), kExitStartupFailed) << c.name;
    EXPECT_EQ(Started::starts, 0) << c.name;
    EXPECT_TRUE(f.ui.boxes.empty()) << c.name;
    EXPECT_EQ(std::count(f.trace.begin(), f.trace.end(), "RTExit"), c.rt_exit ? 1 : 0) << c.name;
    EXPECT_EQ(std::count(f.trace.begin(), f.trace.end(), "init 0"), 0) << c.name;
  }
}

TEST(StartupTest, SymbolTableRoundTripsWithoutRegardToCase) {
  auto names = LoadSymbolTable(BuildSymbolTable({"WinProgress", "pbcancel"}));
  ASSERT_TRUE(names.has_value());
  EXPECT_EQ(*names, (std::set<std::string>{"WINPROGRESS", "PBCANCEL"}));
  EXPECT_EQ(Symbol("winprogress"), Symbol("WINPROGRESS"));
  EXPECT_NE(Symbol("WinProgress").id(), Symbol("PBCancel").id());
  EXPECT_TRUE(Symbol().empty());
}

TEST(StartupTest, RegistryCallsMethodsByName) {
  ClassRegistry registry({"APP", "START", "OTHER"});
  int calls = 0;
  ASSERT_TRUE(registry.Register(
      Symbol("App"), [] { return std::make_unique<Started>(); },
      {{Symbol("Start"), [&calls](Object&) { ++calls; }}, {Symbol("Other"), nullptr}}));
  auto app = registry.Create(Symbol("app"));
  ASSERT_NE(app, nullptr);
  EXPECT_TRUE(registry.Send(Symbol("APP"), *app, Symbol("start")));
  EXPECT_FALSE(registry.Send(Symbol("App"), *app, Symbol("Other"))) << "needs arguments";
  EXPECT_FALSE(registry.Send(Symbol("App"), *app, Symbol("Missing")));
  EXPECT_TRUE(registry.HasMethod(Symbol("App"), Symbol("Other")));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(registry.Create(Symbol("Nobody")), nullptr);
}

}  // namespace
}  // namespace qef
