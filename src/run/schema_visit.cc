#include "run/schema_visit.h"

#include <cstring>

#include "base/console.h"
#include "db/cursor.h"
#include "db/schemas.h"

namespace {

// The two ways to list client schemas; they differ in their operations and in the wording
// of the schema-switch message.
struct SchemaList {
  int (*open)(const char* terminal);
  int (*fetch)(char (&name)[kSchemaNameSize]);
  int (*close)();
  const char* switch_error_format;
};

int open_terminal_list(const char* terminal) {
  return schemas_open_for_terminal(terminal);
}
int open_all_list(const char*) {
  return schemas_open_all();
}

constexpr SchemaList kTerminalSchemas = {open_terminal_list, schemas_fetch_for_terminal,
                                         schemas_close_for_terminal,
                                         "DB-Alter-Session-Error: %d Schema: %s\n"};
constexpr SchemaList kAllSchemas = {open_all_list, schemas_fetch_all, schemas_close_all,
                                    "DB-Alter-Session-Error: %d Schema: %s"};

// Switches to schema and visits it. Returns what visit returns.
ExitStatus visit_schema(const char* schema, const SchemaList& list,
                        const std::function<ExitStatus(const char* schema)>& visit) {
  const int rc = db_set_schema(schema);
  std::memcpy(current_schema, schema, sizeof current_schema);
  console_printf("Schema: %s\n", schema);
  if (rc != 0) console_printf(list.switch_error_format, rc, schema);
  return visit(schema);
}

// Visits every schema of the list. found tells whether the list had a first row.
// Returns kExitDatabase when the list could not be read, or the status a visit ended with.
ExitStatus visit_list(const char* terminal, const SchemaList& list,
                      const std::function<ExitStatus(const char* schema)>& visit, bool& found) {
  found = false;
  char schema[kSchemaNameSize] = {};
  int rc = list.open(terminal);
  if (rc == 0) {
    while ((rc = list.fetch(schema)) == 0) {
      found = true;
      // A client without schema name has nothing to visit.
      if (schema[0] == '\0') continue;
      if (const ExitStatus status = visit_schema(schema, list, visit); status != kExitSuccess) {
        list.close();
        return status;
      }
    }
  }
  list.close();
  if (rc == RC_TOO_LONG) {
    console_printf("Mandanten-Schema zu lang! (max. %zu Zeichen)\n", kSchemaNameSize - 1);
    return kExitDatabase;
  }
  if (rc != RC_NO_ROW) {
    // Going on would leave clients out of the download, or, for the terminal's list, widen
    // it to every client.
    console_printf("Fehler beim Lesen der Mandanten-Schemata! ErrNr: %d\n", rc);
    return kExitDatabase;
  }
  return kExitSuccess;
}

}  // namespace

ExitStatus schemas_visit(const char* terminal,
                         const std::function<ExitStatus(const char* schema)>& visit,
                         bool* all_clients) {
  bool found = false;
  if (all_clients != nullptr) *all_clients = false;
  if (const ExitStatus s = visit_list(terminal, kTerminalSchemas, visit, found);
      s != kExitSuccess) {
    return s;
  }
  if (found) return kExitSuccess;
  if (all_clients != nullptr) *all_clients = true;
  return visit_list(terminal, kAllSchemas, visit, found);
}
