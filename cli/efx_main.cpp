#include <cstdio>

#include "cli/efx.h"
#include "platform/backends.h"
#include "platform/console.h"
#include "platform/console_ui.h"

int main(int argc, char** argv) {
  auto files = qef::MakeSystemFileSystem();
  auto settings = qef::MakeSystemSettings();
  qef::ConsoleUi ui(stderr, qef::IsTerminal(stderr), qef::InstallInterruptFlag());
  qef::EfxEnvironment env{*files, *settings, ui, stdout, stderr};
  return qef::RunEfx(std::vector<std::string>(argv + 1, argv + argc), env);
}
