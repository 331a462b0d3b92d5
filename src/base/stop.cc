#include "base/stop.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Never destroyed: the signal thread may still use them while the process exits.
std::mutex& guard_mutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

// Set under the guard, before the handlers run.
int stopping_with = -1;

std::vector<void (*)()>& handlers() {
  static auto* list = new std::vector<void (*)()>;
  return *list;
}

sigset_t stop_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal_number : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) sigaddset(&set, signal_number);
  return set;
}

[[noreturn]] void run_handlers_and_exit(int status) {
  for (auto it = handlers().rbegin(); it != handlers().rend(); ++it) (*it)();
  std::fflush(stdout);
  ::_exit(status);
}

void wait_for_signals() {
  const sigset_t set = stop_signals();
  for (;;) {
    int signal_number = 0;
    if (sigwait(&set, &signal_number) == 0) stop_run(128 + signal_number);
  }
}

}  // namespace

StopGuard::StopGuard() { guard_mutex().lock(); }
StopGuard::~StopGuard() { guard_mutex().unlock(); }

void stop_on(void (*handler)()) {
  const StopGuard guard;
  handlers().push_back(handler);
}

void stop_run(int status) {
  guard_mutex().lock();
  stopping_with = status;
  run_handlers_and_exit(status);
}

void stop_on_signals() {
  const sigset_t set = stop_signals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread(wait_for_signals).detach();
}

void stop_hold() { guard_mutex().lock(); }

int stop_status() {
  return stopping_with;
}
