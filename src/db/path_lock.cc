#include "db/path_lock.h"

#include <fcntl.h>
#include <mysqld_error.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "base/stop.h"
#include "base/text.h"
#include "db/connection.h"
#include "db/cursor.h"
#include "db/escape.h"

namespace {

// clang-format off
constexpr char kNamedLock[] =
    "SELECT GET_LOCK(CONCAT('vestragen.', SHA1(TRIM(TRAILING ' ' FROM '%s'))), %d)";
constexpr char kTakeFree[] =
    "INSERT INTO KvBasis.Kvb999Lck (LckKey, LckHolder, LckExpires) VALUES (SHA1(TRIM(TRAILING ' ' FROM '%s')), '%s', NOW(3) + INTERVAL %d SECOND)";
constexpr char kTakeExpired[] =
    "UPDATE KvBasis.Kvb999Lck SET LckHolder = '%s', LckExpires = NOW(3) + INTERVAL %d SECOND WHERE LckKey = SHA1(TRIM(TRAILING ' ' FROM '%s')) AND LckExpires < NOW(3)";
constexpr char kRenew[] =
    "UPDATE KvBasis.Kvb999Lck SET LckExpires = NOW(3) + INTERVAL %d SECOND WHERE LckKey = SHA1(TRIM(TRAILING ' ' FROM '%s')) AND LckHolder = '%s'";
constexpr char kGiveUp[] =
    "DELETE FROM KvBasis.Kvb999Lck WHERE LckKey = SHA1(TRIM(TRAILING ' ' FROM '%s')) AND LckHolder = '%s'";
// clang-format on

// The cluster lock this run holds: its key and holder token, escaped for the statements.
// Set once taken; read by the stop handler under the stop guard.
struct ClusterLock {
  bool held = false;
  std::string key;
  std::string holder;
  int expiry_seconds = 120;
  std::string give_up;  // the DELETE that removes it, for the stop path
};
ClusterLock cluster_lock;

// How long a cluster lock holds without renewal: 120 s, or VESTRAGEN_LOCK_EXPIRY seconds
// (1 to 3600).
int expiry_seconds() { return env_number("VESTRAGEN_LOCK_EXPIRY", 120, 1, 3600); }

// This run's own token: host, process and 64 random bits, so that no other run can hold
// the lock in its name.
std::string holder_token() {
  char host[32] = {};
  (void)::gethostname(host, sizeof host - 1);
  unsigned long long chance = 0;
  const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    (void)::read(fd, &chance, sizeof chance);
    ::close(fd);
  }
  if (chance == 0) {
    chance = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
  }
  char token[64];
  std::snprintf(token, sizeof token, "%.30s:%ld:%016llx", host, static_cast<long>(::getpid()),
                chance);
  return token;
}

void give_up_on_stop() {
  if (cluster_lock.held) (void)db_spare_execute(cluster_lock.give_up.c_str());
}

// Sends a statement of the lock on the run's connection; its code.
int send(const std::string& statement) {
  QueryCursor cursor;
  cursor.query_text = statement.c_str();
  const int rc = db_open_cursor(cursor);
  db_close_cursor(cursor);
  return rc;
}

int commit() {
  if (db_commit() == 1) return 0;
  return last_db_errno != 0 ? static_cast<int>(last_db_errno) : -1;
}

void rollback() { (void)send("ROLLBACK"); }

int take_cluster_lock(const char* key, int wait_seconds) {
  cluster_lock.key = db_escape(key);
  cluster_lock.holder = db_escape(holder_token());
  cluster_lock.expiry_seconds = expiry_seconds();
  char text[kQueryBufferSize];
  db_format_into(text, sizeof text, "Sperre Downloadfile", kTakeFree, cluster_lock.key.c_str(),
                 cluster_lock.holder.c_str(), cluster_lock.expiry_seconds);
  const std::string take_free = text;
  db_format_into(text, sizeof text, "Sperre Downloadfile", kTakeExpired,
                 cluster_lock.holder.c_str(), cluster_lock.expiry_seconds,
                 cluster_lock.key.c_str());
  const std::string take_expired = text;
  db_format_into(text, sizeof text, "Sperre Downloadfile", kGiveUp, cluster_lock.key.c_str(),
                 cluster_lock.holder.c_str());
  const std::string give_up = text;

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(wait_seconds);
  int transient_failures = 0;
  for (;;) {
    // A free key: certification lets one of two runs that insert it on two nodes commit.
    int rc = send(take_free);
    if (rc == 0) rc = commit();
    // Taken by another run: an expired row is taken over, one of two takers winning.
    if (rc == ER_DUP_ENTRY || rc == ER_LOCK_DEADLOCK) {
      rollback();
      rc = send(take_expired);
      const bool took = rc == 0 && db_affected_rows() == 1;
      if (took) rc = commit();
      if (rc == 0 && !took) rc = 1;  // held, not expired
    }
    if (rc == 0) {
      const StopGuard guard;
      cluster_lock.give_up = give_up;
      cluster_lock.held = true;
      return 0;
    }
    rollback();
    if (rc != 1 && rc != ER_LOCK_DEADLOCK) {
      // A node not ready may become ready; anything else will not go away by waiting.
      if (!db_transient_error(rc) || ++transient_failures > 5) return rc;
    }
    if (std::chrono::steady_clock::now() >= deadline) return RC_LOCK_TIMEOUT;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
}

}  // namespace

int path_lock_take(const char* key, int wait_seconds) {
  if (db_on_cluster()) {
    static const bool registered = (stop_on(give_up_on_stop), true);
    (void)registered;
    const int rc = take_cluster_lock(key, wait_seconds);
    return rc == ER_NO_SUCH_TABLE ? RC_NO_LOCK_TABLE : rc;
  }
  // A read timeout would end a statement that waits longer than it, as a lost connection:
  // the wait is taken in pieces shorter than it (without one, in one piece).
  const unsigned read_timeout = db_read_timeout();
  const int piece = read_timeout == 0 ? wait_seconds : static_cast<int>(read_timeout / 2);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(wait_seconds);
  const std::string escaped = db_escape(key);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::seconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    const int wait = static_cast<int>(std::max<long long>(0, std::min<long long>(piece, left)));
    db_format_query("Sperre Downloadfile", kNamedLock, escaped.c_str(), wait);
    int answer = -1;
    const int rc = db_first_row([&](DbRow row) {
      // 1: held; 0: the wait ended; NULL: the server could not take it.
      const char* got = row[0];
      answer = got == nullptr ? -1 : (got[0] == '1' ? 0 : RC_LOCK_TIMEOUT);
    });
    if (rc != 0) return query_status = rc;
    if (answer != RC_LOCK_TIMEOUT || std::chrono::steady_clock::now() >= deadline) {
      return query_status = answer;
    }
    // Pieces of no wait at all (a read timeout of a second, the wait's last second) are
    // asked for a little apart.
    if (wait == 0) std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
}

int path_lock_fence() {
  if (!cluster_lock.held) return 0;
  char text[kQueryBufferSize];
  db_format_into(text, sizeof text, "Sperre Downloadfile", kRenew, cluster_lock.expiry_seconds,
                 cluster_lock.key.c_str(), cluster_lock.holder.c_str());
  const int rc = send(text);
  if (rc != 0) return rc;
  return db_affected_rows() == 1 ? 0 : RC_LOCK_LOST;
}

void path_lock_release() {
  if (!cluster_lock.held) return;
  if (send(cluster_lock.give_up) == 0) (void)commit();
  const StopGuard guard;
  cluster_lock.held = false;
}
