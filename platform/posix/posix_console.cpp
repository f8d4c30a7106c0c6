#include <signal.h>
#include <unistd.h>

#include "platform/console.h"

namespace qef {

namespace {
volatile std::sig_atomic_t interrupted = 0;
extern "C" void OnInterrupt(int) { interrupted = 1; }
}  // namespace

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

volatile std::sig_atomic_t* InstallInterruptFlag() {
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  return &interrupted;
}

}  // namespace qef
