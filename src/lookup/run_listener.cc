#include "lookup/run_listener.h"

namespace {
// One run, one thread: set before the run starts, read by its steps.
RunListener* listener = nullptr;
}  // namespace

RunListener* run_listener() { return listener; }

void run_listen(RunListener* new_listener) { listener = new_listener; }
