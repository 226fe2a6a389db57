#pragma once
// Stopping a run at a statement boundary on SIGINT or SIGTERM. The run holds both signals back
// (blocks them) from its start; a signal that arrives stays pending until the next statement is
// about to run, which then throws RunInterrupted instead of executing. Every handle has an owner,
// so unwinding frees them; the run sequence catches it, writes what happened and ends the process
// by that same signal. Nothing is kept in the process but the signal mask, so a program that does
// not hold the signals back never sees one pending.

#include <signal.h>

// Thrown before a statement when the run has been asked to stop.
struct RunInterrupted {
  int signal;  // SIGINT or SIGTERM
};

// Holds SIGINT and SIGTERM back for the calling thread (and the threads it starts) while it lives;
// then the signal mask is as it was before.
class RunSignals {
 public:
  RunSignals();
  ~RunSignals();
  RunSignals(const RunSignals&) = delete;
  RunSignals& operator=(const RunSignals&) = delete;

 private:
  sigset_t previous_;
};

// SIGINT or SIGTERM when one is pending (held back and not yet taken), else 0.
int Sig_Pending();
// Throws RunInterrupted when a signal is pending.
void Sig_Check();
// The signal's name: "SIGINT", "SIGTERM".
const char* Sig_Name(int signal);
// Ends the process as one killed by signal: its default action, delivered at once.
[[noreturn]] void Sig_Die(int signal);
