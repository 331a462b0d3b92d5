#include "base/fatal.h"

#include <cstdarg>

#include "base/console.h"
#include "base/stop.h"

void fatal_exit(ExitStatus status, const char* format, ...) {
  // Messages held for a batch that will not be staged come first, as they were printed.
  console_release();
  va_list args;
  va_start(args, format);
  console_vprintf(format, args);
  va_end(args);
  stop_run(status);
}
