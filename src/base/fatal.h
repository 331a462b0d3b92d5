#pragma once
// The one way to end the process below the run sequence: for failures after which no
// layer can go on (an SQL text that does not fit its buffer, a lost connection).

#include "base/exit_status.h"

// Prints the message (printf format, Windows-1252 text) to standard output, flushes it and
// ends the process with status.
[[noreturn]] void fatal_exit(ExitStatus status, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
