#include "common/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>

namespace {
sigset_t RunSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}
}  // namespace

RunSignals::RunSignals() {
  const sigset_t set = RunSet();
  sigemptyset(&previous_);
  pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

RunSignals::~RunSignals() {
  // A signal held back in a run that stopped early (arguments, settings, connection) is delivered
  // here, once its log and report are written.
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

int Sig_Pending() {
  sigset_t pending;
  sigemptyset(&pending);
  if (sigpending(&pending) != 0) return 0;
  if (sigismember(&pending, SIGINT) == 1) return SIGINT;
  if (sigismember(&pending, SIGTERM) == 1) return SIGTERM;
  return 0;
}

void Sig_Check() {
  if (const int signal = Sig_Pending(); signal != 0) throw RunInterrupted{signal};
}

const char* Sig_Name(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    default:
      return "Signal";
  }
}

void Sig_Die(int signal) {
  std::fflush(nullptr);
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  // The pending signal is delivered as soon as it is let through; raise covers one that is not.
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  raise(signal);
  _exit(128 + signal);
}
