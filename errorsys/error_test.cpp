#include "errorsys/error.h"

#include <gtest/gtest.h>

#include "errorsys/def_error_gen.h"
#include "errorsys/error_test_fixture.h"
#include "runtime/error_block.h"
#include "runtime/error_structure.h"

namespace qef {
namespace {

TEST(ErrorTest, HasTheTwentySevenPropertiesInOrder) {
  EXPECT_EQ(
      std::vector<std::string_view>(Error::kPropertyNames.begin(), Error::kPropertyNames.end()),
      (std::vector<std::string_view>{
          "SubSystem",  "SubCode",   "GenCode",        "OsCode",    "Severity",
          "CanDefault", "CanRetry",  "CanSubstitute",  "Operation", "Description",
          "FileName",   "Args",      "Tries",          "FuncSym",   "FileHandle",
          "ArgNum",     "FuncPtr",   "SubCodeText",    "Arg",       "ArgType",
          "ArgTypeReq", "MaxSize",   "SubstituteType", "Choice",    "CallFuncSym",
          "Cargo",      "MethodSelf"}));
}

TEST(ErrorTest, ANewObjectHoldsEmptyZeroFalseNullAndNoValue) {
  Error error;
  for (std::string_view name : Error::kPropertyNames) {
    Usual value = error.Get(name);
    SCOPED_TRACE(std::string(name));
    switch (value.Type()) {
      case STRING:
        EXPECT_EQ(value.AsText(), "");
        break;
      case DWORD:
        EXPECT_EQ(value.AsDword(), 0u);
        break;
      case LOGIC:
        EXPECT_FALSE(value.AsLogic());
        break;
      case SYMBOL:
        EXPECT_TRUE(value.AsSymbol().empty());
        break;
      case PTR:
        EXPECT_EQ(value.AsPtr(), nullptr);
        break;
      default:
        EXPECT_TRUE(value.IsNil()) << "array, object and value properties start as NIL";
    }
  }
}

TEST(ErrorTest, PropertiesAreWrittenAndReadByNameInAnyCase) {
  Error error;
  EXPECT_TRUE(error.Put("gencode", Usual::Long(21)));
  EXPECT_TRUE(error.Put("SUBSYSTEM", Usual::String("Export")));
  EXPECT_FALSE(error.Put("GenCode", Usual::Long(-1))) << "a negative number fits no DWORD";
  EXPECT_FALSE(error.Put("Severity", Usual::String("2")));
  EXPECT_FALSE(error.Put("NoSuchProperty", Usual::Long(1)));
  EXPECT_EQ(error.GenCode, 21u);
  EXPECT_EQ(error.Get("subsystem").AsText(), "Export");
}

class ThrowTest : public ErrorSystemTest {};

TEST_F(ThrowTest, HandsTheObjectItselfToTheBlockAndReturnsItsResult) {
  auto error = std::make_shared<Error>();
  Usual received;
  ErrorBlock(Usual::Block([&](const Usual& value) {
    received = value;
    return Usual::Long(42);
  }));
  EXPECT_EQ(error->Throw().AsLong(), 42);
  EXPECT_EQ(AsError(received), error);
}

TEST_F(ThrowTest, AWindowLibraryErrorCountsAsAnError) {
  auto error = std::make_shared<WCError>();
  EXPECT_TRUE(IsInstanceOfError(Usual::Obj(error)));
  EXPECT_FALSE(IsInstanceOfError(Usual::Obj(std::make_shared<Object>())));
  EXPECT_FALSE(IsInstanceOfError(Usual::String("text")));
}

class DefErrorGenTest : public ErrorSystemTest {};

TEST_F(DefErrorGenTest, FillsEveryPropertyFromItsField) {
  static const Usual kValues[] = {Usual::Long(5)};
  ArgBlock block{1, 1, kValues};
  int function = 0;
  ErrorStructure es{};
  es.subsystem = "Export";
  es.sub_code = 7;
  es.gen_code = 21;
  es.os_code = 32;
  es.severity = 2;
  es.can_default = 1;
  es.can_retry = 1;
  es.can_substitute = 1;
  es.operation = "FOpen";
  es.description = "Cannot open";
  es.file_name = "A.AEF";
  es.args = &block;
  es.tries = 3;
  es.func_sym = Symbol("PROCESSEF").id();
  es.file_handle = 9;
  es.arg_num = 1;
  es.func_ptr = &function;
  es.sub_code_text = "sharing";
  es.arg = "A.AEF";
  es.arg_type = STRING;
  es.arg_type_req = LONGINT;
  es.max_size = 64;
  es.substitute_type = LOGIC;
  es.choice = 4;
  es.call_func_sym = Symbol("START").id();

  std::shared_ptr<Error> error = AsError(DefErrorGen(Usual::Ptr(&es)));
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->SubSystem, "Export");
  EXPECT_EQ(error->SubCode, 7u);
  EXPECT_EQ(error->GenCode, 21u);
  EXPECT_EQ(error->OsCode, 32u);
  EXPECT_EQ(error->Severity, 2u);
  EXPECT_TRUE(error->CanDefault && error->CanRetry && error->CanSubstitute);
  EXPECT_EQ(error->Operation, "FOpen");
  EXPECT_EQ(error->Description, "Cannot open");
  EXPECT_EQ(error->FileName, "A.AEF");
  ASSERT_EQ(error->Args.AsArray().size(), 1u);
  EXPECT_EQ(error->Args.AsArray()[0].AsLong(), 5);
  EXPECT_EQ(error->Tries, 3u);
  EXPECT_EQ(error->FuncSym, Symbol("ProcessEF"));
  EXPECT_EQ(error->FileHandle, 9u);
  EXPECT_EQ(error->ArgNum, 1u);
  EXPECT_EQ(error->FuncPtr, &function);
  EXPECT_EQ(error->SubCodeText, "sharing");
  EXPECT_EQ(error->Arg, "A.AEF");
  EXPECT_EQ(error->ArgType, STRING);
  EXPECT_EQ(error->ArgTypeReq, LONGINT);
  EXPECT_EQ(error->MaxSize, 64u);
  EXPECT_EQ(error->SubstituteType, LOGIC);
  EXPECT_EQ(error->Choice, 4u);
  EXPECT_EQ(error->CallFuncSym, Symbol("Start"));
  EXPECT_TRUE(error->Cargo.IsNil());
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(DefErrorGenTest, ANullArgumentBlockGivesAnEmptyArray) {
  ErrorStructure es{};
  std::shared_ptr<Error> error = AsError(DefErrorGen(Usual::Ptr(&es)));
  ASSERT_EQ(error->Args.Type(), ARRAY);
  EXPECT_TRUE(error->Args.AsArray().empty());
}

TEST_F(DefErrorGenTest, CountsThatDifferGiveTheLargerLengthAndNoReadPastTheValues) {
  static const Usual kValues[] = {Usual::Long(1), Usual::Long(2)};
  struct Case {
    uint16_t count1;
    uint16_t count2;
  };
  for (Case c : {Case{2, 4}, Case{4, 2}}) {
    ArgBlock block{c.count1, c.count2, kValues};
    ErrorStructure es{};
    es.args = &block;
    std::shared_ptr<Error> error = AsError(DefErrorGen(Usual::Ptr(&es)));
    const Array& args = error->Args.AsArray();
    ASSERT_EQ(args.size(), 4u);
    EXPECT_EQ(args[1].AsLong(), 2);
    EXPECT_TRUE(args[3].IsNil()) << "a value the block does not hold stays NIL";
  }
}

TEST_F(DefErrorGenTest, ARunTimeStringArgumentIsTakenDirectly) {
  DynString text(std::string("abc\0def", 7));
  ErrorStructure es{};
  es.arg = &text;
  EXPECT_EQ(AsError(DefErrorGen(Usual::Ptr(&es)))->Arg, std::string("abc\0def", 7))
      << "a run-time string keeps its length; NUL-terminated text would end at the NUL";
}

TEST_F(DefErrorGenTest, AValueThatIsNoPointerGivesTheWrongTagBoxAndAFreshObject) {
  for (const Usual& value : {Usual::Long(100), Usual(), Usual::Ptr(nullptr)}) {
    ui_.boxes.clear();
    std::shared_ptr<Error> error = AsError(DefErrorGen(value));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->GenCode, 0u);
    EXPECT_TRUE(error->Args.IsNil()) << "every property as created";
    ASSERT_EQ(ui_.boxes.size(), 1u);
    EXPECT_EQ(ui_.boxes[0].owner, nullptr);
    EXPECT_EQ(ui_.boxes[0].caption, "FROM DefErrorGen");
    EXPECT_EQ(ui_.boxes[0].text, "Error structure has wrong tag");
    EXPECT_EQ(ui_.boxes[0].type, 0u);
  }
}

}  // namespace
}  // namespace qef
