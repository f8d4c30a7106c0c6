#include <langinfo.h>
#include <locale.h>
#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <string>

#include "platform/console.h"

namespace qef {

namespace {
volatile std::sig_atomic_t interrupted = 0;
extern "C" void OnInterrupt(int) { interrupted = 1; }
}  // namespace

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

TerminalEncoding ConsoleEncoding() {
  // The locale's character set, read without setlocale: the program's own locale stays "C", so
  // nothing else it prints or compares can change with the user's settings.
  locale_t user = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  if (user == static_cast<locale_t>(nullptr)) return TerminalEncoding::kEightBit;
  std::string codeset;
  for (const char* c = ::nl_langinfo_l(CODESET, user); *c != '\0'; ++c) {
    if (*c != '-' && *c != '_')
      codeset += static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
  }
  ::freelocale(user);
  return codeset == "UTF8" ? TerminalEncoding::kUtf8 : TerminalEncoding::kEightBit;
}

volatile std::sig_atomic_t* InstallInterruptFlag() {
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  return &interrupted;
}

}  // namespace qef
