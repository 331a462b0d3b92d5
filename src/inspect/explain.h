#pragma once
// Why a badge is or is not in a terminal's download (`vestragen-inspect explain`): the
// function's own generator runs over the terminal's client schemas exactly as a run does
// (run/schema_visit.h), with a dry walk that stages nothing, while a listener keeps what the
// run decides for the badge numbers asked about. There is no second implementation of any
// decision here: the trail is the run's, the record is the generator's.
//
// Needs the connection of a run (inspect/inspect_login.h) and current_schema set as the run
// sets it; the messages of the run go into a string meanwhile (console_divert).

#include <functional>
#include <string>
#include <vector>

#include "inspect/record_layout.h"
#include "lookup/badges.h"
#include "lookup/run_listener.h"
#include "run/download_functions.h"

// One of the six sources a badge without class of its own was asked.
struct ExplainSource {
  ClassSource source = ClassSource::kBadgeGroup;
  std::string key;          // the badge group or the person
  bool found = false;       // it gave the class
  int code = 0;             // the lookup's result
  std::string given_class;  // when found: the class and dates it wrote into the badge
  std::string valid_from;
  std::string valid_to;
  std::string extra;  // the badge group, cost centre or department of the assignment
};

// One reader of the terminal in the access check.
struct ExplainReader {
  int reader = 0;
  std::string zone;
  std::string access_class;
  bool authorised = false;
  // The run asked this zone. The check stops asking after the first authorised zone; the
  // readers after it are asked here with the program's own count (zone_class_count).
  bool asked_by_run = true;
};

struct ExplainMissing {
  MissingValues what = MissingValues::kAccounts;
  int code = 0;
  std::string message;
};

enum class RowVerdict {
  kRecord,   // the row's record goes into the file
  kRefused,  // refused with a message
  kLeftOut,  // left out without a message (ZKDNL18P: no person, or not the number's first row)
};

// One row of the badge list, as the generator decided it.
struct ExplainRow {
  std::string schema;
  BadgeRecord badge;              // as the badge list delivered it
  bool repeats_previous = false;  // the row before in the list has the same number
  std::vector<ExplainSource> sources;
  std::vector<ExplainReader> readers;
  bool time_checked = false;
  int time_reader = 0;  // 1, or 0 when the terminal has no reader 1
  std::string time_zone;
  std::string time_class;  // the class asked
  bool time_allowed = false;
  std::vector<ExplainMissing> missing;
  RowVerdict verdict = RowVerdict::kLeftOut;  // until a record or a refusal comes
  RefusalReason reason = RefusalReason::kNoClass;
  std::string message;      // the refusal as the run prints it
  std::string left_out;     // why a row was left out without a message
  std::string record;       // as handed to the staging table
  std::string file_record;  // as the download file holds it
  // Values of the badge at its verdict, as the lookups completed them.
  std::string final_class;
  std::string location_text;
  std::string language;
  std::string balance_list;
  std::string day_values[9];
  std::string vacation_values[6];
};

// One function's walk over the terminal's client schemas.
struct ExplainWalk {
  const DownloadFunction* function = nullptr;
  const RecordLayout* layout = nullptr;
  std::vector<std::string> schemas;  // visited, in order
  bool all_clients = false;          // the terminal has no client of its own
  bool failed = false;               // the run would stop: the download could not be written
  std::string console;               // the run's messages (Windows-1252)
  std::vector<ExplainRow> rows;      // of the badge numbers asked about, in the run's order
};

// Runs function's generator for terminal as a run does, staging nothing, and keeps the rows
// of the badge numbers for which wanted returns true. With all_readers, the readers after
// the first authorised zone are asked as well. The run's own state (console, listener, dry
// walk) is restored before it returns.
ExplainWalk explain_walk(const char* terminal, const DownloadFunction& function,
                         const std::function<bool(const char* number)>& wanted, bool all_readers);

// The download function of code, any letter case, or nullptr.
const DownloadFunction* explain_function(const std::string& code);

// A row of the badge number in Kvb301Asw, whatever its validity or status: why a badge that
// the badge list leaves out is not in any download.
struct BadgeTableRow {
  std::string AswNum;
  std::string valid_from;  // YYYYMMDD or empty
  std::string valid_to;
  std::string person;
  std::string access_class;
  std::string group;
  std::string status;              // AswSta, empty for NULL
  std::string client;              // "licence/number"
  std::string schema;              // MndSch of the client, empty when the client is unknown
  bool in_list = false;            // some visited schema's badge list delivered it
  std::vector<std::string> hints;  // when not: what keeps it out, as far as the row shows
};

// The rows of number (compared as the server compares it), each marked whether a walk
// delivered it; hints name the badge list's conditions the row does not meet. Returns the
// query's code (0, or the failed statement's).
int explain_badge_table(const std::string& number, const std::vector<ExplainWalk>& walks,
                        std::vector<BadgeTableRow>& rows);
