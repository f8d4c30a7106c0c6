#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <string>

#include "ui/console.h"

namespace qef {

namespace {
volatile std::sig_atomic_t interrupted = 0;
volatile std::sig_atomic_t stop_signal = 0;
extern "C" void OnInterrupt(int signal) {
  interrupted = signal;
  stop_signal = signal;
}
}  // namespace

void EnsureStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open takes the lowest free number, which is this one.
    int null = ::open("/dev/null", O_RDWR);
    if (null != -1 && null != fd) ::close(null);
  }
}

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
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  // A write past the user's file size limit (ulimit -f) then fails as a full disk does, and the
  // copy under way is removed; the signal would end the program with the copy half written.
  ::signal(SIGXFSZ, SIG_IGN);
  return &interrupted;
}

int StopSignal() { return stop_signal; }

}  // namespace qef
