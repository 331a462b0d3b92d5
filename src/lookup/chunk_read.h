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
  // Instead, for no rows (rows nullptr): the badge list of the next client schema.
  std::string list_schema;
  std::string list_statement;
  MysqlResult list;
};

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
