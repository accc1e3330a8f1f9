#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include <varn/framework/platform/Platform.h>

namespace varn::platform {
namespace {

volatile sig_atomic_t Caught = 0;

void NoteInterrupt(int Signal) {
  if (Caught == 0) Caught = Signal;
}

// Ends the process by Signal's default action, so that the parent sees that signal.
[[noreturn]] void EndBySignal(int Signal) {
  signal(Signal, SIG_DFL);
  sigset_t Only;
  sigemptyset(&Only);
  sigaddset(&Only, Signal);
  sigprocmask(SIG_UNBLOCK, &Only, nullptr);
  raise(Signal);
  _exit(128 + Signal);
}

}  // namespace

void CatchInterrupts() {
  for (const int Signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction Old;
    if (sigaction(Signal, nullptr, &Old) != 0 || Old.sa_handler == SIG_IGN) continue;
    struct sigaction Action = {};
    Action.sa_handler = NoteInterrupt;
    sigemptyset(&Action.sa_mask);
    // No SA_RESTART: a read waiting for an answer on the terminal gives up and returns.
    Action.sa_flags = 0;
    sigaction(Signal, &Action, nullptr);
  }
}

bool Interrupted() {
  return Caught != 0;
}

void EndAsInterrupted() {
  std::fflush(nullptr);
  EndBySignal(Caught != 0 ? Caught : SIGINT);
}

bool LastWriteHadNoReader() {
  return errno == EPIPE;
}

void EndAsOutputClosed() {
  EndBySignal(SIGPIPE);
}

}  // namespace varn::platform
