#include "base/fatal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "base/console.h"

void fatal_exit(ExitStatus status, const char* format, ...) {
  // Messages held for a batch that will not be staged come first, as they were printed.
  console_release();
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
  std::exit(status);
}
