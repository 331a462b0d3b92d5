#pragma once
// What a run tells, beyond its console, to whoever listens: the run report a scheduler reads,
// the inspector that explains one badge. The walk, the generators and the lookups send these
// events as they decide; with nobody listening they cost a pointer test.
//
// Events come in the order of the run, from one thread: schema_begin, then per badge
// badge_begin followed by that badge's lookups and its verdict (refused, or record; missing
// values before either), then schema_end. A refusal of a record by the staging table comes
// when its batch is staged, after later badges' events. Texts are the run's own, Windows-1252;
// a message is the console text as printed, line end included.

#include <string>

#include "lookup/badges.h"

// Why a badge has no record in the download.
enum class RefusalReason {
  kNoClass,          // "ohne gültige Berechtigungsklasse"
  kNoAccess,         // "ohne Zutrittsberechtigung auf Terminal"
  kNoTimeOrAccess,   // "ohne Zeit-/Zutrittsberechtigung auf Terminal"
  kNotPermitted,     // "auf Terminal ... nicht zulaessig!"
  kValueTooLong,     // "mit zu langem Wert"
  kInsertRefused,    // "Insert-Error Kvb999Tmp!"
};

// Values a record shows without: the record is still written.
enum class MissingValues {
  kAccounts,  // the previous-day accounts
  kVacation,  // the vacation figures
  kLocation,  // the location's short text
};

// The six places a badge without a class of its own takes one from, in the order asked.
enum class ClassSource {
  kBadgeGroup,
  kCostCentre,
  kCostCentreGroup,
  kDepartment,
  kDepartmentList,
  kPerson,
};

// The names a run report and the inspector's output give them (fixed: scripts read them).
const char* refusal_reason_name(RefusalReason reason);
const char* missing_values_name(MissingValues what);

class RunListener {
 public:
  virtual ~RunListener() = default;

  // A generator starts on the badges of a client schema.
  virtual void schema_begin(const char* /*schema*/) {}
  // The next badge row of the list goes to the generator, as fetched.
  virtual void badge_begin(const BadgeRecord& /*badge*/) {}
  // A badge without a class of its own asked source for key: found tells whether it gave
  // one (then written into the badge), code is the lookup's result.
  virtual void class_source(ClassSource /*source*/, const char* /*key*/, bool /*found*/,
                            int /*code*/) {}
  // The access check asked whether access_class is authorised in the zone of reader.
  virtual void reader_zone(int /*reader*/, const std::string& /*zone*/,
                           const char* /*access_class*/, bool /*authorised*/) {}
  // The time check: the terminal's reader 1 and its zone (reader 0 and an empty zone when the
  // terminal has none), and whether the badge may record time.
  virtual void time_check(int /*reader*/, const std::string& /*zone*/, bool /*allowed*/) {}
  // The badge (number) has no record, for reason; message as printed.
  virtual void refused(const char* /*badge*/, RefusalReason /*reason*/,
                       const std::string& /*message*/) {}
  // The badge's record lacks values; code is the lookup's result, message as printed.
  virtual void missing(const BadgeRecord& /*badge*/, MissingValues /*what*/, int /*code*/,
                       const std::string& /*message*/) {}
  // The badge's record, as handed to the staging table.
  virtual void record(const char* /*badge*/, const std::string& /*record*/) {}
  // The server refused a statement for many keys of lookup (its name in messages, such as
  // "Standort des Ausweises") with error: the lookup answers the badges of schema with its
  // per-badge statements, slower and alike. Once per lookup and client schema.
  virtual void fallback(const char* /*schema*/, const char* /*lookup*/, int /*error*/) {}
  // The generator is done with the schema: the two numbers of its summary line.
  virtual void schema_end(const char* /*schema*/, int /*badges*/, int /*staged*/) {}
};

// The listener of this run, or nullptr.
RunListener* run_listener();
// Makes listener the run's (nullptr: nobody). The caller keeps it alive while it listens.
void run_listen(RunListener* listener);
