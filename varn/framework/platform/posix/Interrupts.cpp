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
  const int Signal = Caught != 0 ? Caught : SIGINT;
  std::fflush(nullptr);
  signal(Signal, SIG_DFL);
  sigset_t Only;
  sigemptyset(&Only);
  sigaddset(&Only, Signal);
  sigprocmask(SIG_UNBLOCK, &Only, nullptr);
  raise(Signal);
  _exit(128 + Signal);
}

bool LastWriteHadNoReader() {
  return errno == EPIPE;
}

void EndAsOutputClosed() {
  signal(SIGPIPE, SIG_DFL);
  sigset_t Only;
  sigemptyset(&Only);
  sigaddset(&Only, SIGPIPE);
  sigprocmask(SIG_UNBLOCK, &Only, nullptr);
  raise(SIGPIPE);
  _exit(128 + SIGPIPE);
}

}  // namespace varn::platform
