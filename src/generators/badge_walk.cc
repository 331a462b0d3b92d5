#include "generators/badge_walk.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "base/console.h"
#include "base/exit_status.h"
#include "db/cursor.h"
#include "db/path_lock.h"
#include "db/staging.h"
#include "db/staging_ahead.h"
#include "generators/refusals.h"
#include "lookup/run_listener.h"
#include "lookup/prefetch.h"

namespace {

// Records queued for the staging table, all under one path.
struct PendingRecords {
  std::string path;
  std::vector<std::string> records;
  std::vector<std::string> badges;  // the number of each record's badge
  std::vector<std::size_t> places;  // of each record's messages in the held console text
  std::size_t bytes = 0;
};
PendingRecords pending;
// Records of the current client schema whose insert failed after they were counted.
int failed_since_schema_start = 0;
// The code of a failure of the staging as a whole; the walk stops and the run with it.
int staging_failure = 0;
// Records go to the run's listener only, never to the staging table.
bool dry = false;
WalkTimes times;

// Calls step and adds the time it took to total: two clock reads, cheap enough per badge.
template <typename Step>
auto timed(std::chrono::steady_clock::duration& total, Step step) {
  const auto start = std::chrono::steady_clock::now();
  auto result = step();
  total += std::chrono::steady_clock::now() - start;
  return result;
}

// A batch holds its rows' locks from its INSERT to its COMMIT, and another run clearing its
// own path in a table without an index on TmpUsr waits for them. So a batch is sized by how
// long the last one took, to last about kBatchSeconds; it starts small, grows at most
// fourfold from one batch to the next, and stays well below the server's packet limit
// (16 MB by default).
constexpr double kBatchSeconds = 0.25;
constexpr std::size_t kFirstBatchRecords = 50;
constexpr std::size_t kMostBatchRecords = 5000;
constexpr std::size_t kBatchBytes = 2 << 20;
std::size_t batch_records = kFirstBatchRecords;

void adapt_batch(std::size_t staged, std::chrono::steady_clock::duration took) {
  const double seconds = std::chrono::duration<double>(took).count();
  const double per_record = seconds / static_cast<double>(staged);
  const double fitting = per_record > 0 ? kBatchSeconds / per_record : 1e9;
  const std::size_t most = std::min(kMostBatchRecords, 4 * std::max(batch_records, staged));
  batch_records = std::clamp(static_cast<std::size_t>(fitting), std::size_t{1}, most);
}

std::string insert_error_text(int rc, const char* path, const char* record) {
  return "Insert-Error Kvb999Tmp! ErrNr: " + std::to_string(rc) + "User: " + path +
         "  String: " + record;
}

// The record as the output step can read it back into record_buffer: up to its first zero
// byte, at most 512 characters.
std::string stageable(const std::string& record) {
  const std::size_t n =
      std::min({record.size(), std::strlen(record.c_str()), sizeof record_buffer - 1});
  return record.substr(0, n);
}

// Tells the outcome of staging batch (rc and each record's code): the insert messages go
// into the held text at their records' places, and the held text is printed, up to end when
// one is given.
void report_batch(const PendingRecords& batch, int rc, const std::vector<int>& codes,
                  const std::size_t* end = nullptr) {
  ConsolePlacedTexts messages;
  if (rc != 0) {
    staging_failure = rc;
  } else {
    for (std::size_t i = 0; i < codes.size(); ++i) {
      if (codes[i] == 0) continue;
      messages.emplace_back(batch.places[i], insert_error_text(codes[i], batch.path.c_str(),
                                                               batch.records[i].c_str()));
      if (RunListener* listener = run_listener()) {
        listener->refused(batch.badges[i].c_str(), RefusalReason::kInsertRefused,
                          messages.back().second);
      }
      ++failed_since_schema_start;
    }
  }
  if (end != nullptr) {
    console_release_upto(*end, messages);
  } else {
    console_release(messages);
  }
}

// Stages the queued batch on the program's connection.
void flush_pending() {
  if (pending.records.empty()) return;
  std::vector<int> codes;
  const auto start = std::chrono::steady_clock::now();
  const int rc = staging_insert_batch(pending.path.c_str(), pending.records, codes);
  const auto took = std::chrono::steady_clock::now() - start;
  times.staging += took;
  adapt_batch(pending.records.size(), took);
  report_batch(pending, rc, codes);
  pending.records.clear();
  pending.badges.clear();
  pending.places.clear();
  pending.bytes = 0;
}

// The batch staged ahead (db/staging_ahead.h) and not yet settled, and the place in the held
// text where what the badges walked after it printed begins.
PendingRecords sent;
std::size_t sent_end = 0;
// The queued batch is full: it is sent when the walk comes to its next badge, so that all
// that the badge which filled it printed comes before the batch's end.
bool pending_full = false;
// Staged ahead, the pass's last batch is waited for at its end. So near the end a batch is
// full at half the badges still to walk: the one on its way is staged while the walk goes
// on, and the last one is small. badges_left counts the badges of the pass not yet walked
// when batches are staged ahead, else it stays 0.
std::size_t badges_left = 0;
// Smaller batches than this wait for their COMMIT more than for their rows.
constexpr std::size_t kTailBatchRecords = 500;

// Waits for the batch staged ahead and tells its outcome. A batch the server undid is staged
// again on the program's connection, which finds the records refused for their own reason.
// After a failure of the staging as a whole the walk stops at that batch: what the badges
// walked since printed is forgotten, as they would not have been walked.
void settle_sent() {
  if (!staging_ahead_outstanding()) return;
  const auto start = std::chrono::steady_clock::now();
  StagingAheadResult result = staging_ahead_wait();
  sent.records = std::move(result.records);
  std::vector<int> codes(sent.records.size(), 0);
  int rc = result.rc;
  if (rc != 0 && result.undone) rc = staging_insert_batch(sent.path.c_str(), sent.records, codes);
  times.staging += std::chrono::steady_clock::now() - start;
  adapt_batch(sent.records.size(), std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                       std::chrono::duration<double>(result.seconds)));
  if (rc != 0) console_forget_from(sent_end);
  report_batch(sent, rc, codes, &sent_end);
  sent = PendingRecords{};
}

// The clear sent ahead (walk_clear) and not yet settled: its path, and the place in the held
// text where what the run printed since begins.
bool clear_sent = false;
std::string clear_path;
std::size_t clear_mark = 0;

int clear_failed(const char* path, int rc) {
  if (rc == RC_LOCK_LOST) {
    print_lock_lost(path);
    return kExitBusy;
  }
  // Without the clear, an earlier run's records would appear in the file.
  console_printf("Error Tab. Kvb999Tmp loeschen! ErrNr: %d User: %s", rc, path);
  return kExitDatabase;
}

// Sends the queued batch: ahead, when the run stages ahead, after settling the one before;
// else on the program's connection.
void send_pending() {
  pending_full = false;
  if (pending.records.empty()) return;
  if (!staging_ahead_available()) {
    flush_pending();
    return;
  }
  settle_sent();
  if (staging_failure != 0) return;
  sent = std::move(pending);
  pending = PendingRecords{};
  pending.path = sent.path;
  sent_end = console_mark();
  staging_ahead_send(sent.path.c_str(), std::move(sent.records));
}

// Sends what is queued, settles every batch and prints what is held.
void stage_rest() {
  send_pending();
  settle_sent();
  if (staging_failure == 0) console_release();
}

// The staging failed as a whole: the download would miss records, so the run stops. Another
// run that took the lock over owns the file now.
int staging_failed(const char* path) {
  const int rc = staging_failure;
  pending = PendingRecords{};
  pending_full = false;
  failed_since_schema_start = 0;
  staging_failure = 0;
  console_release();
  if (rc == RC_LOCK_LOST) {
    print_lock_lost(path);
    return kExitBusy;
  }
  console_printf("Fehler beim Schreiben Tab. Kvb999Tmp! ErrNr: %d User: %s\n", rc, path);
  return kExitDatabase;
}

// Reads the whole badge list once, noting each badge's keys for the pass, and starts it
// again from its first badge. Returns the number of badges.
std::size_t note_pass_keys() {
  // Not cleared between badges: a fetch writes every key field whole.
  BadgeRecord badge;
  std::size_t badges = 0;
  while (badges_fetch(badge) == 0) {
    prefetch_note_badge(badge);
    ++badges;
  }
  badges_rewind();
  return badges;
}

}  // namespace

bool record_stage(const char* path, const BadgeRecord& badge, const std::string& record) {
  if (staging_failure != 0) return false;
  const std::string text = stageable(record);
  if (RunListener* listener = run_listener()) listener->record(badge.AswNum, text);
  if (dry) return true;
  if (!prefetch_enabled()) {
    std::memcpy(record_buffer, text.c_str(), text.size() + 1);
    bool refused = false;
    const int rc =
        timed(times.staging, [&] { return staging_insert(path, record_buffer, &refused); });
    if (rc != 0 && !refused) staging_failure = rc;
    if (rc != 0 && refused) refuse(badge, RefusalReason::kInsertRefused,
                                   insert_error_text(rc, path, record_buffer));
    return rc == 0;
  }
  if (pending.path != path) {
    send_pending();
    pending.path = path;
  }
  pending.bytes += text.size();
  pending.records.push_back(text);
  pending.badges.emplace_back(badge.AswNum);
  pending.places.push_back(console_mark());
  const std::size_t tail = std::max(kTailBatchRecords, badges_left / 2);
  if (pending.records.size() >= batch_records ||
      (badges_left != 0 && pending.records.size() >= tail) || pending.bytes >= kBatchBytes) {
    pending_full = true;
  }
  return true;
}

void badge_walk_dry(bool on) { dry = on; }

int walk_clear(const char* path) {
  if (prefetch_enabled() && staging_ahead_available()) {
    staging_ahead_send_clear(path);
    clear_sent = true;
    clear_path = path;
    clear_mark = console_mark();
    return 0;
  }
  const int rc = staging_clear(path);
  return rc == 0 || rc == RC_NO_ROW ? 0 : clear_failed(path, rc);
}

int walk_clear_settle() {
  if (!clear_sent) return 0;
  clear_sent = false;
  const auto start = std::chrono::steady_clock::now();
  int rc = staging_ahead_wait().rc;
  if (rc != 0) rc = staging_clear(clear_path.c_str());
  times.staging += std::chrono::steady_clock::now() - start;
  if (rc == 0 || rc == RC_NO_ROW) {
    console_release();
    return 0;
  }
  console_forget_from(clear_mark);
  console_release();
  return clear_failed(clear_path.c_str(), rc);
}

const WalkTimes& badge_walk_times() {
  return times;
}

void print_lock_lost(const char* path) {
  console_printf("Sperre fuer Downloadfile %s von einem anderen Lauf uebernommen! Abbruch.\n",
                 path);
}

int badge_list_failed(int rc, const char* schema) {
  // The run stops: records still queued are not staged.
  pending = PendingRecords{};
  pending_full = false;
  failed_since_schema_start = 0;
  console_release();
  console_printf("Fehler beim Lesen der Ausweise! ErrNr: %d Schema: %s\n", rc, schema);
  return kExitDatabase;
}

int for_each_badge(const char* path, const char* schema,
                   const std::function<bool(BadgeRecord&)>& handle,
                   const std::function<void()>& ask_ahead) {
  BadgeCounts counts;
  RunListener* listener = run_listener();
  if (listener != nullptr) listener->schema_begin(schema);
  prefetch_pass_begin(schema);
  badges_left = 0;
  int rc = timed(times.badges, [&] {
    const int opened = badges_open(schema);
    if (opened == 0 && prefetch_enabled()) {
      const std::size_t badges = note_pass_keys();
      if (!dry && staging_ahead_available()) badges_left = badges;
      if (ask_ahead) ask_ahead();
      prefetch_read_next_list();
    }
    return opened;
  });
  // The clear sent ahead went on while the badge list was read.
  if (const int status = walk_clear_settle(); status != 0) {
    (void)badges_close();
    prefetch_pass_end();
    return status;
  }
  if (rc == 0) {
    BadgeRecord badge;
    for (;;) {
      if (pending_full) send_pending();
      if (staging_failure != 0) break;
      if ((rc = timed(times.badges, [&] { return badges_fetch(badge); })) != 0) break;
      ++counts.read;
      if (badges_left > 0) --badges_left;
      if (listener != nullptr) listener->badge_begin(badge);
      if (handle(badge)) ++counts.staged;
      badge = BadgeRecord{};
    }
  }
  (void)timed(times.badges, [] { return badges_close(); });
  prefetch_pass_end();
  // A batch on its way was sent as the program's connection would have staged it.
  settle_sent();
  if (staging_failure == 0 && rc == RC_NO_ROW) stage_rest();
  if (staging_failure != 0) return staging_failed(path);
  if (rc != RC_NO_ROW) return badge_list_failed(rc, schema);
  counts.staged -= failed_since_schema_start;
  failed_since_schema_start = 0;
  console_printf("Ausweise gesamt: %d davon in Datei gestellt: %d\n", counts.read, counts.staged);
  if (listener != nullptr) listener->schema_end(schema, counts.read, counts.staged);
  return 0;
}
