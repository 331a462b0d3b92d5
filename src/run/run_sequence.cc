#include "run/run_sequence.h"

#include <cstdio>
#include <cstring>

#include "base/console.h"
#include "base/text.h"
#include "config/connection_options.h"
#include "config/settings.h"
#include "db/connection.h"
#include "db/cursor.h"
#include "db/path_lock.h"
#include "db/schemas.h"
#include "generators/badge_walk.h"
#include "run/arguments.h"
#include "run/download_file.h"
#include "run/download_functions.h"
#include "run/run_report.h"
#include "run/schema_visit.h"

namespace {

struct RunState {
  RunArguments args;
  char schema[kSchemaNameSize] = {};  // the connection's database
  int record_width = 0;
  bool fixed_width = true;
};

// Runs the function's generator in schema, the current schema now. Returns kExitSuccess, or
// the status the generator ends the run with.
ExitStatus visit_schema(RunState& state, const char* schema) {
  for (const DownloadFunction& function : download_functions()) {
    if (std::strcmp(state.args.function_code, function.code) != 0) continue;
    if (!function.fixed_width) state.fixed_width = false;
    if (const int status = run_report_timed(ReportPhase::kGenerators, [&] {
          return function.generate(state.args.download_path, state.args.terminal_name, schema);
        });
        status != 0) {
      return static_cast<ExitStatus>(status);
    }
    if (function.fixed_width) state.record_width = function.record_width;
  }
  return kExitSuccess;
}

// How long a run waits for another run of the same download file: 10 minutes, or
// VESTRAGEN_LOCK_WAIT seconds (0 to 86400).
int lock_wait_seconds() { return env_number("VESTRAGEN_LOCK_WAIT", 600, 0, 86400); }

ExitStatus connect(const DbSettings& settings) {
  ConnectionOptions options;
  if (const ExitStatus s = connection_options_read(options); s != kExitSuccess) return s;
  db_connection_options(options);
  const int rc = db_connect(settings.login, settings.password, settings.server, settings.schema);
  if (rc != 0) {
    console_printf("DB-Connect-Error: %d!", rc);
    console_printf("Name:%s Pwd:%s Net:%s Schema:%s\n", settings.login,
                settings.password[0] == '\0' ? "" : "****", settings.server, settings.schema);
    return kExitConnect;
  }
  return kExitSuccess;
}

// With the path's lock held: the earlier rows out, the records of every client schema in,
// and the file written.
ExitStatus stage_and_write(RunState& state) {
  if (const int cleared = run_report_timed(
          ReportPhase::kStaging, [&] { return walk_clear(state.args.download_path); });
      cleared != 0) {
    return static_cast<ExitStatus>(cleared);
  }

  const ExitStatus visited = schemas_visit(
      state.args.terminal_name, [&](const char* schema) { return visit_schema(state, schema); });
  // A clear still on its way decides first: without it the run would not have gone on.
  if (const int cleared = walk_clear_settle(); cleared != 0) return static_cast<ExitStatus>(cleared);
  if (visited != kExitSuccess) return visited;

  long records = 0;
  const ExitStatus written = run_report_timed(ReportPhase::kWriting, [&] {
    return download_file_write(state.args.download_path, state.args.new_file,
                               state.record_width, state.fixed_width, &records);
  });
  run_report_written(records);
  return written;
}

ExitStatus run(int argc, char** argv) {
  if (arguments_ask_about_program(argc, argv)) return kExitSuccess;
  run_report_start();
  RunState state;
  if (const ExitStatus s = arguments_parse(argc, argv, state.args); s != kExitSuccess) return s;
  run_report_run(state.args);

  DbSettings settings;
  if (const ExitStatus s = settings_read(settings_config_path(), settings); s != kExitSuccess) return s;
  static_assert(sizeof settings.schema == sizeof state.schema);
  std::memcpy(state.schema, settings.schema, sizeof state.schema);
  std::memcpy(current_schema, state.schema, sizeof current_schema);
  const ExitStatus connected =
      run_report_timed(ReportPhase::kConnect, [&] { return connect(settings); });
  settings_wipe(settings);
  if (connected != kExitSuccess) return connected;

  to_upper(state.args.function_code);
  state.fixed_width = true;
  console_printf("Mit Datenbank verbunden! Schema: %s\n", state.schema);

  const int wait = lock_wait_seconds();
  const int locked = path_lock_take(state.args.download_path, wait);
  if (locked == RC_LOCK_TIMEOUT) {
    console_printf("Downloadfile %s wird von einem anderen Lauf erzeugt! Abbruch nach %d Sekunden.\n",
                state.args.download_path, wait);
    return kExitBusy;
  }
  if (locked == RC_NO_LOCK_TABLE) {
    console_printf("Sperrtabelle KvBasis.Kvb999Lck fehlt im Cluster! Downloadfile %s\n",
                   state.args.download_path);
    return kExitDatabase;
  }
  if (locked != 0) {
    console_printf("Sperre fuer Downloadfile %s nicht erhalten! ErrNr: %d\n",
                state.args.download_path, locked);
    return kExitDatabase;
  }
  const ExitStatus status = stage_and_write(state);
  path_lock_release();
  return status;
}

}  // namespace

int run_main(int argc, char** argv) {
  const ExitStatus status = run(argc, argv);
  run_report_end(status);
  std::fflush(stdout);
  return status;
}
