#include "resources/icons.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/program.h"
#include "app/program_symbols.h"

namespace qef {
namespace {

// The classes and the resource names they pass, in exactly this case.
const std::vector<std::pair<std::string, std::string>> kExpectedNames = {
    {"ICOAPP", "icoapp"},
    {"ICOCAIN", "icoCAIN"},
    {"ICOCROSS", "icoCross"},
    {"ICODBSERVER", "icoDBServer"},
    {"ICODLL", "icodll"},
    {"ICOFORM", "icoForm"},
    {"ICOFSPEC", "icoFSpec"},
    {"ICOIMAGE", "icoImage"},
    {"ICOLIB", "icolib"},
    {"ICOLOCK", "icoLock"},
    {"ICOMENU", "icoMenu"},
    {"ICOEXTMOD", "icoextmod"},
    {"ICOPRJ", "icoprj"},
    {"ICOSQLSERVER", "icoSQLServer"},
    {"ICOSYSLIB", "icoSysLib"},
    {"AICOZEMB", "AICOZEMB"},
    {"AICOZEMBCROSS", "AICOZEMBCROSS"},
    {"ICOMOD", "icomod"},
    {"ICOINONE", "icoInOne"},
    {"ICOINTWO", "icoInTwo"},
    {"ICODIFF", "icoDiff"},
    {"ICOZEMBWINK", "ICOZEMBWINK"},
};

template <typename IconClass>
std::pair<std::string, std::string> Made(const std::string& class_name) {
  IconClass icon;
  EXPECT_EQ(icon.Resource().Instance(), _GetInst()) << class_name;
  EXPECT_FALSE(icon.Resource().IsNumber()) << class_name;
  return {class_name, icon.Resource().Name()};
}

TEST(IconClassesTest, EachPassesItsResourceNameInItsOwnCaseAndTheProgramsInstance) {
  std::vector<std::pair<std::string, std::string>> made = {
      Made<ICOAPP>("ICOAPP"),
      Made<ICOCAIN>("ICOCAIN"),
      Made<ICOCROSS>("ICOCROSS"),
      Made<ICODBSERVER>("ICODBSERVER"),
      Made<ICODLL>("ICODLL"),
      Made<ICOFORM>("ICOFORM"),
      Made<ICOFSPEC>("ICOFSPEC"),
      Made<ICOIMAGE>("ICOIMAGE"),
      Made<ICOLIB>("ICOLIB"),
      Made<ICOLOCK>("ICOLOCK"),
      Made<ICOMENU>("ICOMENU"),
      Made<ICOEXTMOD>("ICOEXTMOD"),
      Made<ICOPRJ>("ICOPRJ"),
      Made<ICOSQLSERVER>("ICOSQLSERVER"),
      Made<ICOSYSLIB>("ICOSYSLIB"),
      Made<AICOZEMB>("AICOZEMB"),
      Made<AICOZEMBCROSS>("AICOZEMBCROSS"),
      Made<ICOMOD>("ICOMOD"),
      Made<ICOINONE>("ICOINONE"),
      Made<ICOINTWO>("ICOINTWO"),
      Made<ICODIFF>("ICODIFF"),
      Made<ICOZEMBWINK>("ICOZEMBWINK"),
  };
  EXPECT_EQ(made, kExpectedNames);
}

TEST(IconClassesTest, TwoAicozembObjectsAreSeparateIcons) {
  AICOZEMB large, small;
  EXPECT_NE(&large.Resource(), &small.Resource());
  EXPECT_EQ(large.Resource().Name(), small.Resource().Name());
}

TEST(IconClassesTest, AllRegisterFromTheProgramsSymbolTableWithInitAndCreateTheirIcons) {
  auto symbols = LoadSymbolTable(ProgramSymbolTable());
  ASSERT_TRUE(symbols.has_value());
  ClassRegistry registry(*symbols);
  ASSERT_TRUE(RegisterIconClasses(registry));
  for (const auto& [class_name, resource_name] : kExpectedNames) {
    Symbol name(class_name);
    EXPECT_TRUE(registry.HasMethod(name, Symbol("Init"))) << class_name;
    EXPECT_EQ(registry.MethodNames(name), std::vector<std::string>{"INIT"}) << class_name;
    std::unique_ptr<Object> object = registry.Create(name);
    auto* icon = dynamic_cast<Icon*>(object.get());
    ASSERT_NE(icon, nullptr) << class_name;
    EXPECT_EQ(icon->Resource().Name(), resource_name);
  }
}

TEST(IconClassesTest, RegistrationFailsWhenTheSymbolTableLacksAClassName) {
  auto symbols = LoadSymbolTable(ProgramSymbolTable());
  ASSERT_TRUE(symbols.has_value());
  symbols->erase("ICOZEMBWINK");
  ClassRegistry registry(*symbols);
  EXPECT_FALSE(RegisterIconClasses(registry));
}

TEST(IconClassesTest, AreRegisteredAtStartUpWithTheOtherClasses) {
  auto symbols = LoadSymbolTable(ProgramSymbolTable());
  ASSERT_TRUE(symbols.has_value());
  ClassRegistry registry(*symbols);
  ASSERT_TRUE(RegisterClasses(registry));
  EXPECT_TRUE(registry.HasMethod(Symbol("WinProgress"), Symbol("PBCancel")));
  for (const auto& entry : kExpectedNames) {
    EXPECT_NE(registry.Create(Symbol(entry.first)), nullptr) << entry.first;
  }
}

}  // namespace
}  // namespace qef
