#include <csignal>

#include "run/run_sequence.h"

int main(int argc, char** argv) {
  // A file-size limit must fail the write (and be reported), not kill the process.
  std::signal(SIGXFSZ, SIG_IGN);
  return run_main(argc, argv);
}
