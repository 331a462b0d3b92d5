#pragma once
// The client schemas a run visits for a terminal: those of the clients linked to it
// (Kvb115Tfz), or every client's when it has none. Shared by the run and by the inspector,
// which must decide exactly as a run does.

#include <functional>

#include "base/exit_status.h"

// Visits the terminal's client schemas in the order the server lists them. Each becomes the
// current schema (db_set_schema, current_schema) with the message "Schema: NAME" before
// visit(name) runs; a client without schema name is passed over. all_clients, when given,
// tells whether the terminal had no client of its own. Returns kExitSuccess; kExitDatabase
// after printing why a list could not be read or a schema name is too long; or the first
// status other than kExitSuccess that visit returned (it has printed why), after which no
// further schema is visited.
[[nodiscard]] ExitStatus schemas_visit(const char* terminal,
                                       const std::function<ExitStatus(const char* schema)>& visit,
                                       bool* all_clients = nullptr);
