#pragma once
// A badge pass reads what its lookups need for the whole client schema at once: a few
// statements per schema instead of several per badge. Within a pass (from badges_open to
// badges_close) each lookup runs its own statement once for every key of the schema's
// badges and then answers each badge from those rows; outside a pass, or with
// VESTRAGEN_PER_BADGE=1, every lookup sends its statement per badge.
//
// The statement for all keys keeps the per-badge statement's conditions and compares the
// key column with the badge's own value, on the server, by the column's rules (letter case
// and trailing blanks as the server compares them). Its rows are taken in the per-badge
// statement's join order, so the first row per key is the one the per-badge statement
// would deliver first.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/cursor.h"

// False when VESTRAGEN_PER_BADGE=1 asks for every statement per badge, as the program's
// reference behaviour (lookups per badge, each record inserted and committed on its own).
bool prefetch_enabled();

void prefetch_pass_begin(const char* schema);
void prefetch_pass_end();

// The pass answering lookups now, or 0 when they send their own statements: no pass, passes
// switched off, or current_schema not the pass's schema.
std::uint64_t prefetch_pass();
// The schema of the current pass, as the badge query was given it.
const std::string& prefetch_pass_schema();

// Which column of the badge the keys are taken from.
enum class PrefetchKey { kBadgeNumber, kPerson, kGroup };

using PrefetchRow = std::vector<std::optional<std::string>>;

// The rows of one lookup for one pass: per key, the first row the statement delivered
// (without its key column).
struct PrefetchedRows {
  std::uint64_t pass = 0;
  bool usable = false;  // false: the statement failed, the lookup sends its own statements
  std::unordered_map<std::string, PrefetchRow> first_rows;
};

// The rows for the current pass, read the first time they are asked for; nullptr when the
// lookup must send its own statement (no pass, or the statement for all keys failed: the
// per-badge statements then fail or succeed on their own).
//   per_badge_format: the lookup's per-badge statement, a printf format whose key is the
//     text '%s' and whose FROM clause is replaced by tables;
//   tables: the tables in the order the per-badge statement reads them, from the key's.
const PrefetchedRows* prefetch_rows(PrefetchedRows& rows, std::string_view per_badge_format,
                                    PrefetchKey key, const std::string& tables);

// A prefetched row as the lookups' own code reads a fetched one: texts it may cut in place,
// nullptr for NULL.
class PrefetchRowCopy {
 public:
  explicit PrefetchRowCopy(const PrefetchRow& row);
  DbRow row() { return pointers_.data(); }

 private:
  std::vector<std::string> texts_;
  std::vector<char*> pointers_;
};

// The statement for every key, from the per-badge statement (exposed for tests).
std::string prefetch_statement(std::string_view per_badge_format, const std::string& keys,
                               const std::string& tables);
