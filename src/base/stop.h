#pragma once
// Ending the run on the way without leaving half-done work behind.
//
// A run can end early: a scheduler stops an overdue run with SIGTERM, an operator with SIGINT
// or SIGHUP, the logger that reads its output goes away (SIGPIPE), or a failure below the run
// sequence leaves nothing to go on with. Each layer that holds half-done work (a temporary
// download file, an append in progress, messages held back for a batch) registers what
// undoes or finishes it, and changes that work only while it holds a StopGuard, so that a
// stop, which takes the guard and never gives it back, sees the work whole.
//
// Signals are taken by a thread of their own that waits for them (sigwait), so the handlers
// may do what an asynchronous signal handler may not.

// Held while a layer changes what its stop handler reads; a stop waits for it. Not
// reentrant: a stop handler must not take it, nor anything called under it.
class StopGuard {
 public:
  StopGuard();
  ~StopGuard();
  StopGuard(const StopGuard&) = delete;
  StopGuard& operator=(const StopGuard&) = delete;
};

// Registers handler; every stop runs the handlers under the guard, the latest registered
// first. A handler must not end the process.
void stop_on(void (*handler)());

// Takes the guard, runs the handlers, flushes standard output and ends the process with
// status at once. The caller must not hold the guard.
[[noreturn]] void stop_run(int status);

// For a stop handler: the status the process is about to end with; -1 outside a stop.
int stop_status();

// Blocks SIGTERM, SIGINT, SIGHUP and SIGPIPE in the calling thread and in the threads it
// starts later, and starts the thread that waits for them: each one stops the run with
// 128 + its number. Call it in main before any other thread is started. A SIGPIPE that a
// write of this process raises stays blocked: the write fails with EPIPE instead, and the
// writer decides (see console.h).
void stop_on_signals();

// The run is over and its work is done or undone: takes the guard for good, so that a
// signal from now on no longer runs the handlers while the process exits.
void stop_hold();
