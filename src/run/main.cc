#include <csignal>

#include "base/console.h"
#include "base/stop.h"
#include "run/run_sequence.h"

int main(int argc, char** argv) {
  // Before any other thread starts: the signals that end a run are taken by a thread of
  // their own.
  stop_on_signals();
  console_start();
  // A file-size limit must fail the write (and be reported), not kill the process.
  std::signal(SIGXFSZ, SIG_IGN);
  const int status = run_main(argc, argv);
  stop_hold();
  return status;
}
