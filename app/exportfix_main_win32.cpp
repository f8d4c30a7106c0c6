// exportfix.exe: the main flow with the Windows dialogs.

#include <cstdlib>
#include <string>
#include <vector>

#include "app/program.h"
#include "platform/backends.h"
#include "platform/win32/win32_ui.h"
#include "runtime/startup.h"

// Windows headers come last: their macros would rename the portable names above.
#include <windows.h>
#undef CreateDialog

namespace {

// The program's own resource of that type and id, as bytes.
std::optional<std::string_view> FindProgramResource(int type, int id) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
  if (found == nullptr) return std::nullopt;
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return std::nullopt;
  return std::string_view(static_cast<const char*>(bytes), SizeofResource(module, found));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const qef::SystemBackends system = qef::MakeSystemBackends();
  // QEF_UI_TRACE names a file that gets a line for every box and dialog: a diagnostic for tests
  // that drive the program from outside.
  const char* trace = std::getenv("QEF_UI_TRACE");
  qef::Win32Ui ui(trace != nullptr ? trace : "");
  qef::InstallSystemExceptionHandler();
  // Files dropped on the program's icon, or sent to it, come as arguments and are repaired
  // instead of asking for them.
  std::vector<std::string> given_files;
  for (int i = 1; i < __argc; ++i) given_files.push_back(qef::SystemFullPath(__argv[i]));
  return qef::RunProgram(qef::ExportFixProgram(FindProgramResource, std::move(given_files)),
                         system.With(ui));
}
