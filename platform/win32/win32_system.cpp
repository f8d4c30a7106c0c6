// The Windows side of the run-time's system services: the user's locale, the folder for the
// run-time's own files, and processor exceptions turned into run-time errors.
#include <memory>
#include <string>

#include "platform/backends.h"
#include "runtime/error_block.h"
#include "runtime/international.h"
#include "runtime/locale_source.h"
#include "runtime/runtime.h"

// Windows headers come last: their macros would rename the portable names above.
#include <windows.h>
#undef CreateDialog

namespace qef {

namespace {

class Win32Locale : public LocaleSource {
 public:
  LCID GetUserDefaultLCID() override { return ::GetUserDefaultLCID(); }
  int GetLocaleInfoA(LCID locale, uint32_t item, char* buffer, int size) override {
    return ::GetLocaleInfoA(locale, item, buffer, size);
  }
};

bool WritableFolder(const std::string& folder) {
  std::string probe = folder + "qef-write-test.tmp";
  HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

// Processor exceptions that reach the top become run-time errors: the error log and the error
// box instead of a silent end. The handler's own ways out (break, quit) end the process here,
// since a C++ unwind must not cross the system's exception frames.
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* exception) {
  if (!RuntimeInstalled()) return EXCEPTION_CONTINUE_SEARCH;  // no run-time to report it to
  static bool handling = false;
  if (handling) ExitProcess(1);  // an exception while reporting one
  handling = true;
  const EXCEPTION_RECORD& system = *exception->ExceptionRecord;
  ExceptionRecord record;
  record.code = static_cast<uint32_t>(system.ExceptionCode);
  record.flags = static_cast<uint32_t>(system.ExceptionFlags);
  record.address = system.ExceptionAddress;
  record.parameter_count = static_cast<uint32_t>(system.NumberParameters);
  record.information =
      system.NumberParameters > 0 ? static_cast<uint32_t>(system.ExceptionInformation[0]) : 0;
  try {
    RaiseSystemException(record);
  } catch (...) {
  }
  ExitProcess(static_cast<UINT>(ErrorLevel() != 0 ? ErrorLevel() : 1));
}

}  // namespace

std::unique_ptr<LocaleSource> MakeSystemLocale() { return std::make_unique<Win32Locale>(); }

std::string SystemWorkDir() {
  char path[MAX_PATH];
  ::DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string program(path, length < MAX_PATH ? length : 0);
  size_t slash = program.find_last_of("\\/");
  std::string folder = slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
  if (!folder.empty() && WritableFolder(folder)) return folder;
  // A program folder that is not writable (under Program Files): the user's own data folder.
  char local[MAX_PATH];
  length = GetEnvironmentVariableA("LOCALAPPDATA", local, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    std::string data = std::string(local) + "\\Quillon\\";
    CreateDirectoryA(data.c_str(), nullptr);
    if (WritableFolder(data)) return data;
  }
  return ".\\";
}

std::string SystemFullPath(const std::string& path) {
  ::DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::string full(needed, '\0');
  ::DWORD length = GetFullPathNameA(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  full.resize(length);
  return full;
}

void InstallSystemExceptionHandler() { SetUnhandledExceptionFilter(OnUnhandledException); }

}  // namespace qef
