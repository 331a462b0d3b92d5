#pragma once
// A badge pass reads what its lookups need for the whole client schema at once: a few
// statements per schema instead of several per badge. Within a pass (from badges_open to
// badges_close) each lookup sends its own statement for all the keys of a chunk of the
// pass's badges (kChunkBadges of them, in the badge list's order) and then answers the badges
// from those rows; outside a pass, with VESTRAGEN_PER_BADGE=1, or for a key the pass does not
// know, it sends its statement per badge.
//
// While the program works through one chunk, the rows of the next are read ahead on a second
// connection (db/side_connection.h) by a thread of the pass, for every lookup the pass has
// asked so far; a chunk the program needs before that thread has begun it is read on the
// program's own connection. Only the reading moves: every answer is taken on the program's
// thread in the badges' order, so records and messages come exactly as without it. When the
// second connection cannot be opened, everything is read on the program's connection.
//
// The statement for all keys is the per-badge statement with the key compared to a table of
// the badges' own key values, each a literal as in the per-badge statement (so the server
// compares them by the column's rules, as it compares the per-badge statement's value); its
// syntax is what MariaDB and MySQL both take. Where the per-badge statement takes its first
// row, the pass answers only keys whose rows all agree; the server's plan, and with it the
// order of the rows, may differ between the two statements, so a key whose rows disagree is
// left to its own statement (sent once per pass and key).
//
// A statement for many keys that the server refuses leaves its lookup to the per-badge
// statements, which give the same answers, only more slowly; each such fall-back is noted
// (prefetch_fallbacks) and nothing is printed.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "db/cursor.h"
#include "db/escape.h"
#include "lookup/badges.h"

// False when VESTRAGEN_PER_BADGE=1 asks for every statement per badge, as the program's
// reference behaviour (lookups per badge, each record inserted and committed on its own). The
// environment is read at the first call.
bool prefetch_enabled();

// Starts a pass over the badges of schema and notes the keys of each of its badges, in the
// badge list's order; the end waits for the rows being read ahead.
void prefetch_pass_begin(const char* schema);
void prefetch_note_badge(const BadgeRecord& badge);
void prefetch_pass_end();

struct LookupStatement;

// Once the pass's keys are noted: the reader reads statement's rows whole at once, when the
// pass will read them so (chunk_read.h) and has more than one chunk of badges. For the lookups the walk will ask for, in the
// reverse order of their first use: the program reads a statement itself that the reader has
// not begun when the walk needs it, so the reader begins with the one needed last.
void prefetch_read_whole_now(const LookupStatement& statement);

// Once the pass's keys are noted: the reader reads the badge list of the client schema
// visited next.
void prefetch_read_next_list();

// When the pass's reader has read ahead the badge list of schema (that of the next client
// schema of the list being visited, read near the end of the pass before), moves it into
// result and returns true; else false (the caller asks for it).
bool prefetch_badge_list(const char* schema, MysqlResult& result);

// Badges per chunk; VESTRAGEN_TEST_PASS_CHUNK=N, a hook for the tests, makes chunks of N.
inline constexpr std::size_t kChunkBadges = 2000;

// The pass answering lookups now, or 0 when they send their own statements: no pass, passes
// switched off, or current_schema not the pass's schema.
std::uint64_t prefetch_pass();

// Texts by which a pass finds keys and rows, found by a std::string_view or a C text as well
// (no std::string is made to look one up).
struct PrefetchTextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
  }
};
using PrefetchTextSet = std::unordered_set<std::string, PrefetchTextHash, std::equal_to<>>;
template <typename Value>
using PrefetchTextMap = std::unordered_map<std::string, Value, PrefetchTextHash, std::equal_to<>>;

// The keys of a pass, each as the badge records hold it.
enum class PrefetchKey {
  kBadgeNumber,  // AswNum of every badge
  kPerson,       // AswPnr of every badge
  kClassGroup,   // AswGrp of the badges without a class of their own (class "0")
  kClassPerson,  // AswPnr of those badges
  kClass,        // AswBkl of every badge
};

// The keys of kind noted in the current pass (empty without one), each with the chunk of the
// first badge that has it.
const PrefetchTextMap<int>& prefetch_keys(PrefetchKey kind);

// Notes one more key of kind in the current pass (such as a class an assignment gives).
void prefetch_note_key(PrefetchKey kind, std::string_view key);

// The group and the person (AswGrp, AswPnr) of each badge of the current pass without a class
// of its own whose person first comes in chunk (as a kClassPerson key), in the order noted.
const std::vector<std::pair<std::string, std::string>>& prefetch_class_badges(int chunk);

// A statement for many keys that the server refused, so that its lookup fell back to the
// per-badge statements: the client schema of the pass, the lookup (the name its statement
// has in messages, such as "Standort des Ausweises") and the server's error number. One
// entry per lookup and pass, in the order they happened, each also told to the run's listener
// (RunListener::fallback); the console never shows them (its bytes are fixed).
struct PrefetchFallback {
  std::string schema;
  std::string lookup;
  int error = 0;
  std::uint64_t pass = 0;  // which pass of the run
};
const std::vector<PrefetchFallback>& prefetch_fallbacks();

// Runs statement, a statement for many keys of lookup, on cursor. False when the server
// refused it: the fall-back is noted and the caller answers with per-badge statements.
// VESTRAGEN_TEST_BREAK_BATCH=1, a hook for the tests, makes the server refuse every such
// statement.
[[nodiscard]] bool prefetch_open_batch(const char* lookup, const std::string& statement,
                                       QueryCursor& cursor);

struct WholeRows;

// One row, its columns packed into one text (a pass holds tens of thousands): each column a
// tag byte, 'N' for NULL or 'V' followed by the value and a zero byte.
struct PrefetchRow {
  std::string packed;
  // Other rows of the key differ from this one: the key's own statement decides.
  bool ambiguous = false;
  // Read whole: the place of its key in the order the keys' rows came (WholeRows::order).
  std::uint32_t place = 0;
  void add(const char* column);
  // The first column's value; nullptr for NULL.
  const char* first() const;
};

// The answer of a key's own statement, kept for the pass: rc 0 with row, or RC_NO_ROW.
struct PrefetchOwnAnswer {
  int rc = 0;
  PrefetchRow row;
};

// The rows of one lookup for one pass: per key, the first row the statement delivered
// (without its key column), for the chunks read so far.
struct PrefetchedRows {
  std::uint64_t pass = 0;
  PrefetchKey kind = PrefetchKey::kBadgeNumber;
  // Per chunk of the pass: 0 not read, 1 read, -1 its statement failed (its keys are left to
  // their own statements).
  std::vector<signed char> chunks;
  bool fell_back = false;  // a failed statement of the pass is noted
  // For a lookup that reads only some keys of a chunk (LookupStatement::keys_for): those.
  bool some = false;
  PrefetchTextSet some_keys;
  PrefetchTextMap<PrefetchRow> first_rows;
  // The answers of the own statements of keys whose rows disagree.
  PrefetchTextMap<PrefetchOwnAnswer> own_answers;
  // For a lookup read whole (lookup/chunk_read.h): its rows, which answer every key instead,
  // and the place of the key found last (whole_answer).
  std::shared_ptr<const WholeRows> whole;
  std::size_t whole_place = 0;
};

// Which row of a key answers: the first the statement delivers, or (for a statement that
// orders its rows by a date, newest first) the one with the latest first column, found
// without asking the server to sort every key's rows.
enum class PrefetchPick { kFirst, kLatestFirstColumn };

// A lookup's single-row statement, as it is sent per badge and as a pass reads it for all
// keys.
struct LookupStatement {
  const char* purpose;  // names the statement when its text does not fit query_buffer
  // The per-badge statement: a printf format whose key is '%s', with a bare %s before the key
  // for the FROM list when own_tables is given.
  const char* format;
  PrefetchKey kind;              // which keys of a pass the lookup is asked for
  std::string_view own_tables;   // the per-badge statement's FROM list; empty when format has it
  std::string_view pass_tables;  // the tables in the order the statement reads them from the key on
  PrefetchPick pick = PrefetchPick::kFirst;
  // When given, the pass reads the rows of a chunk only for the keys this leaves in wanted
  // (called with the chunk, on the program's thread, when a badge first needs the chunk);
  // the others are answered by their own statements. Such a lookup is not read ahead.
  std::function<void(int chunk, PrefetchTextSet& wanted)> keys_for = nullptr;
  // When given, called on the program's thread with each key's row a chunk brought, as the
  // chunk is taken into the pass's rows.
  std::function<void(const PrefetchRow& row)> on_row = nullptr;
};

// The answer of a lookup from the pass's rows.
enum class PrefetchAnswer {
  kNone,       // the lookup sends its own statement
  kNoRow,      // the pass knows the key and has no row for it
  kRow,        // row holds the first row for the key
  kAmbiguous,  // the key's rows disagree: its own statement decides, once for the pass
};

// Looks key up in the rows of the current pass, reading them the first time they are asked
// for in the pass.
PrefetchAnswer prefetch_lookup(PrefetchedRows& rows, const LookupStatement& statement,
                               const char* key, const PrefetchRow*& row);

// How the rows the current pass has already read answer key (kNone when they are not read
// yet); never sends a statement. chunk: the key's chunk when the caller knows it, else -1.
PrefetchAnswer prefetch_peek(const PrefetchedRows& rows, std::string_view key, int chunk = -1);

// Takes the answers of the own statements read ahead for the chunk of key, for a lookup read
// whole (chunk_read.h), when they were asked for and not yet taken.
void prefetch_take_own_answers(PrefetchedRows& rows, std::string_view key);

// A prefetched row as the lookups' own code reads a fetched one: texts it may cut in place,
// nullptr for NULL.
class PrefetchRowCopy {
 public:
  explicit PrefetchRowCopy(const PrefetchRow& row);
  DbRow row() { return pointers_.data(); }

 private:
  std::string texts_;
  std::vector<char*> pointers_;
};

// Sends the lookup's per-badge statement for key on lookup_cursor (db_first_row).
template <typename Take>
int lookup_own_statement(const LookupStatement& statement, const char* key, Take take,
                         int* open_rc) {
  const std::string escaped_key = db_escape(key);
  if (statement.own_tables.empty()) {
    db_format_query(statement.purpose, statement.format, escaped_key.c_str());
  } else {
    const std::string tables(statement.own_tables);
    db_format_query(statement.purpose, statement.format, tables.c_str(), escaped_key.c_str());
  }
  return db_first_row(take, open_rc);
}

// The one way a lookup answers for a key: from the current pass's rows when the pass knows
// the key, else with its own statement on lookup_cursor (db_first_row). take gets the first
// row, if there is one. Returns 0 with a row, RC_NO_ROW without, or the failed statement's
// code; *open_rc, when given, receives the own statement's open code (0 when the pass
// answered). The result is also left in query_status.
template <typename Take>
int lookup_first_row(PrefetchedRows& rows, const LookupStatement& statement, const char* key,
                     Take take, int* open_rc = nullptr) {
  if (open_rc != nullptr) *open_rc = 0;
  const PrefetchRow* found = nullptr;
  switch (prefetch_lookup(rows, statement, key, found)) {
    case PrefetchAnswer::kNone:
      return lookup_own_statement(statement, key, take, open_rc);
    case PrefetchAnswer::kNoRow:
      return query_status = RC_NO_ROW;
    case PrefetchAnswer::kRow: {
      PrefetchRowCopy copy(*found);
      take(copy.row());
      return query_status = 0;
    }
    case PrefetchAnswer::kAmbiguous:
      break;
  }
  // The answer of the key's own statement holds for every badge of the key in the pass, as
  // the prefetched rows do; it may have been read ahead.
  prefetch_take_own_answers(rows, key);
  const auto kept = rows.own_answers.find(std::string_view(key));
  if (kept != rows.own_answers.end()) {
    if (kept->second.rc == 0) {
      PrefetchRowCopy copy(kept->second.row);
      take(copy.row());
    }
    return query_status = kept->second.rc;
  }
  PrefetchOwnAnswer answer;
  const int rc = lookup_own_statement(
      statement, key,
      [&](DbRow row) {
        for (unsigned i = 0; i < db_column_count(lookup_cursor); ++i)
          answer.row.add(row[i]);
        take(row);
      },
      open_rc);
  if (rc == 0 || rc == RC_NO_ROW) {
    answer.rc = rc;
    rows.own_answers.emplace(key, std::move(answer));
  }
  return rc;
}

// The statement for a list of keys (each quoted and escaped), from the per-badge statement;
// with kLatestFirstColumn without its ORDER BY. Returns 0 with the statement in out, or
// RC_BAD_TEMPLATE when the per-badge statement is not a SELECT ... FROM ... WHERE with one
// key.
[[nodiscard]] int prefetch_statement(const LookupStatement& statement,
                                     const std::vector<std::string>& keys, std::string& out);
