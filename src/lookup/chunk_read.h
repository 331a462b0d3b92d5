#pragma once
// Reading the rows of one lookup for one chunk of a badge pass (prefetch.h): the statement for
// the chunk's keys, sent on the program's connection, or ahead on the second connection by the
// pass's reader thread, from which the program's thread takes the reads back.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <vector>

#include "db/cursor.h"
#include "lookup/prefetch.h"

class SideConnection;

// The text sent for a statement for many keys: the statement, or, with the tests' hook
// VESTRAGEN_TEST_BREAK_BATCH=1, a syntax error made of it (as a server without the
// statement's syntax would refuse it).
std::string chunk_statement_sent(const std::string& statement);

// One chunk of one lookup to read: what the statement needs, and what reading it gave.
struct ChunkRead {
  // Which rows it is for (on the program's thread only; the reading thread never looks).
  PrefetchedRows* rows = nullptr;
  int chunk = 0;
  // The statement: the lookup's, without its function (keys_for) and with tables of its own.
  const char* purpose = nullptr;
  const char* format = nullptr;
  PrefetchPick pick = PrefetchPick::kFirst;
  std::string pass_tables;
  // The keys: those of the chunk (into the pass's keys, which outlive the read), or, for a
  // lookup that reads some of them, those keys_for leaves in wanted when the read begins.
  std::vector<const std::string*> keys;
  std::function<void(int chunk, PrefetchTextSet& wanted)> keys_for;
  PrefetchTextSet wanted;
  std::string own_tables;  // LookupStatement::own_tables
  // The result: 0, or the code of the failed statement; the rows by key; read ahead, the
  // answers of the own statements of its keys whose rows disagree.
  int rc = 0;
  PrefetchTextMap<PrefetchRow> rows_read;
  PrefetchTextMap<PrefetchOwnAnswer> own_answers;
  // Only the own statements of the keys in rows_read (each of them ambiguous there): for a
  // lookup read whole. Read here, such a read is left undone (the keys' own statements are
  // sent as they are needed).
  bool own_only = false;
  // Instead, for no rows (rows nullptr): the badge list of the next client schema.
  std::string list_schema;
  std::string list_statement;
  MysqlResult list;
  // Or, for no rows either: a lookup read whole (whole_text, with pick; in the default database
  // whole_database, empty when its tables all are named with their schema), and what that gave
  // (whole nullptr when its rows cannot be read so).
  std::string whole_text;
  std::string whole_database;
  std::shared_ptr<const WholeRows> whole;
};

// A lookup read whole: its statement for every row of its tables at once, with the column its
// key is compared with first, sent on the program's connection. The server reads the rows
// in a pass over its tables instead of looking each key up through an index, which costs it
// several times less per row; so a lookup is read whole where its key's table holds at most
// kWholeRowsPerKey rows (by the server's estimate) per key the pass asks for. A statement
// whose tables all are named with their schema gives the same rows in every pass and is
// read once per run.
//
// The program then compares the keys itself, which it does exactly only for keys made of
// ASCII letters and digits with blanks after them: no collation takes two of them for equal
// unless they are equal but for the letters' case and the trailing blanks. Keys that equal
// one another so (folded alike) are left to their own statements, as are the keys that are
// not made so; a row whose key is not made so ends the reading whole (the lookup is read by
// chunks), as does a key column that holds no text.
inline constexpr std::size_t kWholeRowsPerKey = 4;

struct WholeRows {
  PrefetchTextMap<PrefetchRow> rows;  // by the key's exact text (RowTaker's first rows)
  // The keys not in their folded form (with capitals or trailing blanks), by the folded key;
  // most keys are in it, and need no second copy.
  PrefetchTextMap<std::string> variants;
  PrefetchTextSet several;  // folded keys whose rows have several exact texts
  std::vector<const std::string*> disagreeing;  // the keys in rows whose rows disagree
  // The keys in rows in the order their first rows came: the walk often asks for them so.
  std::vector<const PrefetchTextMap<PrefetchRow>::value_type*> order;
};

class AheadReader;

// The rows of the lookup read whole, or nullptr when it is not read so (its statement does
// not compare the key as the first condition after WHERE, its key's table is too large for
// keys keys, or the statement failed). Rows that reader (when given) or the reader of the
// pass before read ahead are taken; a read reader has not begun is read here.
std::shared_ptr<const WholeRows> whole_rows(const LookupStatement& statement, std::size_t keys,
                                            AheadReader* reader);

// Asks reader to read the lookup whole at once, when whole_rows will read it so in this pass
// (for keys keys) and it is not read yet.
void whole_rows_ask_now(AheadReader& reader, const LookupStatement& statement, std::size_t keys);

// How the rows read whole answer key: kNone when its own statement must decide, kAmbiguous
// when its own statement decides once for the pass. place: that of the key found before
// (PrefetchRow::place), whose next is tried first; set to this key's when it has rows.
PrefetchAnswer whole_answer(const WholeRows& whole, std::string_view key,
                            const PrefetchRow*& row, std::size_t& place);

// Forgets the rows read whole from the tables of client schema, whose pass is over: a run
// visits each client schema once.
void whole_rows_forget(std::string_view schema);

// Asks reader to read whole, for the client schema visited after the current one, the
// statement that statement (read whole in this pass) will be there: the same with that
// schema's tables in place of this one's. Only for a statement whose tables all are this
// client schema's or named with their schema, and whose key's table holds at most
// kWholeAheadRowsMost rows (by the server's estimate).
inline constexpr long long kWholeAheadRowsMost = 50000;
void whole_rows_ask_ahead(AheadReader& reader, const LookupStatement& statement);

// Keeps the reads of whole_rows_ask_ahead that reader finished in the pass now ending
// (AheadReader::take_wholes) for the next pass: whole_rows takes its rows from them, with the
// same choice whether to read the lookup whole. Those of the pass before are dropped.
void whole_rows_keep_ahead(std::vector<std::shared_ptr<ChunkRead>> reads);

// Reads read on the program's connection: its keys (keys_for called here), its statements,
// its rows; not the own statements of the keys whose rows disagree.
void chunk_read_here(ChunkRead& read);

// The thread of a pass that reads chunks ahead on the second connection, in the order they
// were asked for, and with each the own statements of its keys whose rows disagree. The
// program's thread takes the reads back; one it takes before the thread has begun it, it reads
// itself. Stopped and joined at destruction (reads not begun are dropped).
class AheadReader {
 public:
  explicit AheadReader(SideConnection& connection);
  ~AheadReader();
  AheadReader(const AheadReader&) = delete;
  AheadReader& operator=(const AheadReader&) = delete;

  // Asks for read (a chunk, or with rows nullptr the badge list of its list_schema).
  void ask(std::shared_ptr<ChunkRead> read);
  // Whether a read of rows and chunk was asked and not yet taken.
  bool asked(const PrefetchedRows* rows, int chunk);

  // The read asked for rows and chunk: nullptr when it was never asked or was taken back
  // before the reader began it (the caller reads it then); else the finished read. While the
  // reader is still at it, the program's thread reads other chunks the reader has not begun
  // (chunk_read_here), so that both connections work. A read is handed out once.
  std::shared_ptr<ChunkRead> take(const PrefetchedRows* rows, int chunk);

  // The badge list read ahead, once read; nullptr when none was asked or it had not begun.
  std::shared_ptr<ChunkRead> take_list();

  // The read asked for text read whole in database: nullptr when it was never asked or was
  // taken back before the reader began it (the caller reads it then); else the finished read.
  std::shared_ptr<ChunkRead> take_whole(const std::string& text, const std::string& database);

  // The statements read whole ahead and not taken, once read: those not begun are dropped.
  std::vector<std::shared_ptr<ChunkRead>> take_wholes();

  // On the reader's thread: how a read of rows and chunk that it finished and has not handed
  // out answers key; kNone without one.
  PrefetchAnswer peek(const PrefetchedRows* rows, int chunk, std::string_view key);

  // The reader whose thread this is; nullptr on the program's thread.
  static thread_local AheadReader* reading_ahead;

 private:
  void finish(const std::shared_ptr<ChunkRead>& read);
  void forget(const PrefetchedRows* rows, int chunk);
  void work();

  SideConnection& connection_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<ChunkRead>> queued_;
  std::vector<std::shared_ptr<ChunkRead>> asked_;  // queued, being read or read
  std::unordered_set<const ChunkRead*> done_;
  bool stopping_ = false;
  std::thread thread_;  // last: it starts working at construction
};
