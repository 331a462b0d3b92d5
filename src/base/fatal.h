#pragma once
// The one way to end the process below the run sequence: for failures after which no
// layer can go on (an SQL text that does not fit its buffer, a lost connection).

#include "base/exit_status.h"

// Prints the held messages and this one (printf format, Windows-1252 text) to standard
// output and stops the run with status (stop_run: half-done work is undone).
[[noreturn]] void fatal_exit(ExitStatus status, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
