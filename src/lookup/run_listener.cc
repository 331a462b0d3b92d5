#include "lookup/run_listener.h"

namespace {
// One run, one thread: set before the run starts, read by its steps.
RunListener* listener = nullptr;
}  // namespace

RunListener* run_listener() { return listener; }

void run_listen(RunListener* new_listener) { listener = new_listener; }

const char* refusal_reason_name(RefusalReason reason) {
  switch (reason) {
    case RefusalReason::kNoClass:
      return "no_class";
    case RefusalReason::kNoAccess:
      return "no_access";
    case RefusalReason::kNoTimeOrAccess:
      return "no_time_or_access";
    case RefusalReason::kNotPermitted:
      return "not_permitted";
    case RefusalReason::kValueTooLong:
      return "value_too_long";
    case RefusalReason::kInsertRefused:
      return "insert_refused";
  }
  return "unknown";
}

const char* missing_values_name(MissingValues what) {
  switch (what) {
    case MissingValues::kAccounts:
      return "accounts";
    case MissingValues::kVacation:
      return "vacation";
    case MissingValues::kLocation:
      return "location";
  }
  return "unknown";
}
