#include "errorsys/error_text.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "errorsys/error_test_fixture.h"
#include "runtime/error_block.h"
#include "runtime/file_text.h"
#include "runtime/international.h"

namespace qef {
namespace {

struct TextCase {
  const char* name;
  std::function<void(Error&)> setup;
  std::string expected;
};

class DefErrorTextTest : public ErrorSystemTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(DefErrorTextTest, BuildsTheLinesOfTheRules) {
  Error error;
  error.Severity = 2;
  GetParam().setup(error);
  EXPECT_EQ(DefErrorText(error), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DefErrorTextTest,
    ::testing::Values(
        TextCase{"GeneralCode", [](Error& e) { e.GenCode = 5; },
                 "Error Code:  5 [ ZERO DIVISOR ]\r\n"},
        TextCase{"WarningWithoutGeneralCodeRepeatsTheDescription",
                 [](Error& e) {
                   e.Severity = 1;
                   e.Description = "Disk almost full";
                 },
                 "WARNING :  Disk almost full\r\nDescription: Disk almost full\r\n"},
        TextCase{"Subsystem",
                 [](Error& e) {
                   e.GenCode = 21;
                   e.SubSystem = "Export";
                 },
                 "Error Code:  21 [ OPEN ERROR ]\r\nSubsystem: Export\r\n"},
        TextCase{"SubCodeWithoutText", [](Error& e) { e.SubCode = 5; },
                 "Error Code:  \r\nError Subcode: 5\r\n"},
        TextCase{"SubCodeWithText",
                 [](Error& e) {
                   e.SubCode = 5;
                   e.SubCodeText = "locked";
                 },
                 "Error Code:  \r\nError Subcode: 5 (locked)\r\n"},
        TextCase{"Operation", [](Error& e) { e.Operation = "FOpen"; },
                 "Error Code:  \r\nOperation: FOpen\r\n"},
        TextCase{"Function", [](Error& e) { e.FuncSym = Symbol("ProcessEF"); },
                 "Error Code:  \r\nFunction: PROCESSEF\r\n"},
        TextCase{"FileNameCutAtForty",
                 [](Error& e) { e.FileName = std::string(40, 'a') + "0123456789"; },
                 "Error Code:  \r\nFilename: " + std::string(40, 'a') + "\r\n"},
        TextCase{"ArgumentWithType",
                 [](Error& e) {
                   e.Arg = "x";
                   e.ArgType = STRING;
                 },
                 "Error Code:  \r\nArgument: x\r\nType: STRING\r\n"},
        TextCase{"TypeWithoutArgumentIsLeftOut", [](Error& e) { e.ArgType = STRING; },
                 "Error Code:  \r\n"},
        TextCase{"ArgumentNumber", [](Error& e) { e.ArgNum = 2; },
                 "Error Code:  \r\nArgument Number: 2\r\n"},
        TextCase{"RequestedTypeThatDiffers",
                 [](Error& e) {
                   e.ArgType = STRING;
                   e.ArgTypeReq = LONGINT;
                 },
                 "Error Code:  \r\nRequested type: LONGINT\r\n"},
        TextCase{"RequestedTypeEqualToTheTypeIsLeftOut",
                 [](Error& e) {
                   e.ArgType = STRING;
                   e.ArgTypeReq = STRING;
                 },
                 "Error Code:  \r\n"},
        TextCase{"AllLinesInOrder",
                 [](Error& e) {
                   e.GenCode = 21;
                   e.SubSystem = "S";
                   e.SubCode = 1;
                   e.Operation = "O";
                   e.FuncSym = Symbol("F");
                   e.FileName = "N";
                   e.Arg = "A";
                   e.ArgType = LOGIC;
                   e.ArgNum = 3;
                   e.ArgTypeReq = DWORD;
                   e.Description = "D";
                 },
                 "Error Code:  21 [ OPEN ERROR ]\r\nSubsystem: S\r\nError Subcode: 1\r\n"
                 "Operation: O\r\nFunction: F\r\nFilename: N\r\nArgument: A\r\nType: LOGIC\r\n"
                 "Argument Number: 3\r\nRequested type: DWORD\r\nDescription: D\r\n"}),
    [](const auto& test) { return std::string(test.param.name); });

struct HexCase {
  Usual value;
  std::string expected;
};

TEST(ValueToHexTest, WritesEightDigitsOrTheDigitsOfAWholeFloat) {
  const HexCase cases[] = {
      {Usual::Dword(0xC0000005u), "C0000005"},
      {Usual::Dword(0), "00000000"},
      {Usual::Long(-1), "FFFFFFFF"},
      {Usual::Long(255), "000000FF"},
      {Usual::Sym(Symbol::FromId(0x1234)), "00001234"},
      {Usual::Ptr(nullptr), "00000000"},
      {Usual::Float(255.0), "FF"},
      {Usual::Float(256.0), "100"},
      {Usual::Float(0.0), "0"},
      {Usual::Float(4294967295.0), "FFFFFFFF"},
      {Usual::Float(3221225477.0), "C0000005"},
  };
  for (const HexCase& c : cases) EXPECT_EQ(ValueToHex(c.value), c.expected) << c.expected;
}

// An address keeps every digit: eight below 4 GiB, as the 32-bit build writes them all, and sixteen
// above, where a 64-bit program is loaded.
TEST(ValueToHexTest, WritesAPointerWhole) {
  EXPECT_EQ(ValueToHex(Usual::Ptr(reinterpret_cast<void*>(uintptr_t{0x0040A1B2}))), "0040A1B2");
  if constexpr (sizeof(uintptr_t) > 4) {
    const uintptr_t high = uintptr_t{0x1} << 16 << 16 | 0x4000ABCDu;
    EXPECT_EQ(ValueToHex(Usual::Ptr(reinterpret_cast<void*>(high))), "000000014000ABCD");
  }
}

class ErrorLogTest : public ErrorSystemTest {
 protected:
  Error SampleError() {
    Error error;
    error.SubSystem = "Export";
    error.SubCode = 7;
    error.GenCode = 21;
    error.OsCode = 5;
    error.Severity = 2;
    error.CanDefault = true;
    error.CanRetry = true;
    error.Operation = "FOpen";
    error.Description = "Cannot open";
    error.FileName = "C:\\A.AEF";
    error.Tries = 1;
    error.FuncSym = Symbol("ProcessEF");
    error.FileHandle = 0xFFFFFFFFu;
    error.ArgNum = 1;
    error.Arg = "C:\\A.AEF";
    error.ArgType = STRING;
    error.ArgTypeReq = STRING;
    return error;
  }
  std::string WriteEntry(const Error& error, const std::string& message) {
    FHandle handle = FCreate("/logs/entry.log");
    ErrorLogWrite(handle, message, error);
    FClose(handle);
    return fs_.Content("/logs/entry.log");
  }
};

TEST_F(ErrorLogTest, WritesTheEntryByteForByte) {
  SetDateFrmt("DD.MM.YYYY");
  SetCentury(true);
  std::string entry =
      WriteEntry(SampleError(), "Error Code:  21 [ OPEN ERROR ]\r\nSubsystem: Export\r\n");
  EXPECT_EQ(entry,
            "***********************ERROR********************************\r\n"
            "TestRT 9.9\r\n"
            "07.03.2024 09:05:02\r\n"
            " \r\n"
            "Error message:\r\n"
            "--------------\r\n"
            "Error Code:  21 [ OPEN ERROR ]\r\n"
            "Subsystem: Export\r\n"
            "\r\n"
            "Error Object created:\r\n"
            "--------------------\r\n"
            "SubSystem       :Export\r\n"
            "SubCode         :7\r\n"
            "GenCode         :Open error\r\n"
            "OsCode          :5\r\n"
            "ArgType         :STRING\r\n"
            "FuncPtr         :0x00000000\r\n"
            "ArgNum          :1\r\n"
            "FuncSym         :PROCESSEF\r\n"
            "Severity        :2\r\n"
            "CanDefault      :.T.\r\n"
            "CanRetry        :.T.\r\n"
            "CanSubstitute   :.F.\r\n"
            "Operation       :FOpen\r\n"
            "Description     :Cannot open\r\n"
            "FileName        :C:\\A.AEF\r\n"
            "Tries           :1\r\n"
            "FileHandle      :4294967295\r\n"
            "SubCodeText     :\r\n"
            "Arg             :C:\\A.AEF\r\n"
            "ArgTypeReq      :STRING\r\n"
            "MaxSize         :0\r\n"
            "SubstituteType  :NIL\r\n"
            "CallFuncSym     :\r\n"
            "--------------------\r\n");
}

TEST_F(ErrorLogTest, AnExceptionEntryCarriesTheExceptionRecordInHex) {
  Error error;
  error.SubCode = kExceptionSubCode;
  error.GenCode = EG_SYSTEM_EXCEPTION;
  error.OsCode = 0xC0000005u;
  error.ArgType = 1;
  error.ArgNum = 2;
  error.FuncSym = Symbol::FromId(1);
  std::string entry = WriteEntry(error, "m\r\n");
  size_t from = entry.find("GenCode         :");
  size_t to = entry.find("Severity        :");
  EXPECT_EQ(entry.substr(from, to - from),
            "GenCode         :System exception\r\n"
            "ExceptionCode   :C0000005\r\n"
            "ExceptionFlags  :00000001\r\n"
            "ExceptionAddress:00000000\r\n"
            "ParamNumber     :2\r\n"
            "ExceptionInfo   :00000001\r\n");
  for (const char* absent : {"\nOsCode ", "\nArgType ", "\nFuncPtr ", "\nArgNum ", "\nFuncSym "}) {
    EXPECT_EQ(entry.find(absent), std::string::npos) << absent;
  }
}

TEST_F(ErrorLogTest, ADateInTheClipperFormatHasATwoDigitYear) {
  std::string entry = WriteEntry(SampleError(), "m\r\n");
  EXPECT_NE(entry.find("\r\n03/07/24 09:05:02\r\n"), std::string::npos);
}

TEST_F(ErrorLogTest, OpenCreatesAMissingLogWithoutALeadingEmptyLine) {
  FHandle handle = ErrorLogOpen();
  ASSERT_NE(handle, F_ERROR);
  FPutS(handle, "first");
  FClose(handle);
  EXPECT_EQ(fs_.created, std::vector<std::string>{"/logs/VOERROR.LOG"});
  EXPECT_EQ(fs_.Content("/logs/VOERROR.LOG"), "first\r\n");
}

TEST_F(ErrorLogTest, OpenAppendsToAnExistingLogAfterAnEmptyLine) {
  fs_.AddFile("/logs/VOERROR.LOG", "old\r\n");
  FHandle handle = ErrorLogOpen();
  ASSERT_NE(handle, F_ERROR);
  FPutS(handle, "new");
  FClose(handle);
  EXPECT_TRUE(fs_.created.empty());
  EXPECT_EQ(fs_.Content("/logs/VOERROR.LOG"), "old\r\n\r\nnew\r\n");
}

TEST_F(ErrorLogTest, TheLogFollowsTheDefaultFolderThenTheDefaultSetting) {
  SetDefault("/set");
  SetDefaultDir("/dir");
  FClose(ErrorLogOpen());
  SetDefaultDir("");
  FClose(ErrorLogOpen());
  EXPECT_EQ(fs_.created, (std::vector<std::string>{"/dir/VOERROR.LOG", "/set/VOERROR.LOG"}));
}

TEST_F(ErrorLogTest, AMissingDefaultFolderIsClearedAndReported) {
  SetDefaultDir("/gone");
  SetDefault("/set");
  fs_.refuse_create = {"/gone/VOERROR.LOG"};
  fs_.refuse_create_error = 2;  // the backend's "not found": on a create, a missing folder
  EXPECT_EQ(ErrorLogOpen(), F_ERROR);
  EXPECT_EQ(GetDefaultDir(), "");
  EXPECT_EQ(GetDefault(), "/set") << "only the setting in force is cleared";
  ASSERT_EQ(state().internal_errors.size(), 1u);
  EXPECT_EQ(state().internal_errors[0].code, 1u);
  EXPECT_EQ(state().internal_errors[0].sub_code, 0u);
  EXPECT_EQ(state().internal_errors[0].text, "SetDefaultDir: /gone");
  EXPECT_EQ(fs_.created.size(), 1u) << "the create is not tried again";
}

TEST_F(ErrorLogTest, AMissingFolderWithoutDefaultFolderClearsTheDefaultSetting) {
  SetDefault("/gone");
  fs_.refuse_create = {"/gone/VOERROR.LOG"};
  fs_.refuse_create_error = kErrorPathNotFound;
  EXPECT_EQ(ErrorLogOpen(), F_ERROR);
  EXPECT_EQ(GetDefault(), "");
  ASSERT_EQ(state().internal_errors.size(), 1u);
  EXPECT_EQ(state().internal_errors[0].text, "SetDefault: /gone");
}

TEST_F(ErrorLogTest, AnotherCreateFailureIsNotReported) {
  SetDefaultDir("/locked");
  fs_.refuse_create = {"/locked/VOERROR.LOG"};  // access denied
  EXPECT_EQ(ErrorLogOpen(), F_ERROR);
  EXPECT_EQ(GetDefaultDir(), "/locked");
  EXPECT_TRUE(state().internal_errors.empty());
}

}  // namespace
}  // namespace qef
