#include "db/staging_ahead.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <mysql.h>

#include "base/exit_status.h"
#include "base/fatal.h"
#include "base/text.h"
#include "db/connection.h"
#include "db/side_connection.h"
#include "db/staging.h"

namespace {

// The client library's own error numbers start here; below are the server's.
constexpr int kFirstClientError = 2000;

class StagingThread {
 public:
  explicit StagingThread(std::unique_ptr<SideConnection> connection)
      : connection_(std::move(connection)), thread_([this] { work(); }) {}

  ~StagingThread() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  StagingThread(const StagingThread&) = delete;
  StagingThread& operator=(const StagingThread&) = delete;

  bool of_program_connection() const { return connection_->of_program_connection(); }

  // A batch of records, or without records and with clear the clear.
  void send(std::string key, std::vector<std::string> records, bool clear = false) {
    {
      const std::lock_guard lock(mutex_);
      key_ = std::move(key);
      records_ = std::move(records);
      clear_ = clear;
      sent_ = true;
      done_ = false;
    }
    changed_.notify_all();
  }

  bool outstanding() const { return sent_; }

  StagingAheadResult wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return done_; });
    sent_ = false;
    return std::move(result_);
  }

 private:
  void work() {
    SideConnection::thread_begin();
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return stopping_ || (sent_ && !done_); });
      if (stopping_) break;
      const std::string key = std::move(key_);
      std::vector<std::string> records = std::move(records_);
      const bool clear = clear_;
      lock.unlock();
      const auto escape = [this](std::string_view text) { return connection_->escape(text); };
      StagingAheadResult result = stage(clear ? staging_clear_statement(key, escape)
                                              : staging_batch_statement(key, records, escape));
      result.records = std::move(records);
      lock.lock();
      result_ = std::move(result);
      done_ = true;
      changed_.notify_all();
    }
    lock.unlock();
    SideConnection::thread_end();
  }

  StagingAheadResult stage(const std::string& statement) {
    const auto start = std::chrono::steady_clock::now();
    StagingAheadResult result;
    result.rc = connection_->execute(statement);
    if (result.rc == 0) result.rc = connection_->execute("COMMIT");
    if (result.rc != 0) {
      // A refused statement leaves its transaction open (a lock wait that ran out undoes the
      // statement only): nothing of it may stay.
      (void)connection_->execute("ROLLBACK");
      result.undone = result.rc > 0 && result.rc < kFirstClientError;
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
  }

  std::unique_ptr<SideConnection> connection_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string key_;
  std::vector<std::string> records_;
  bool clear_ = false;
  bool sent_ = false;  // on the program's thread only, besides under the mutex
  bool done_ = false;
  bool stopping_ = false;
  StagingAheadResult result_;
  std::thread thread_;  // last: it starts working at construction
};

std::unique_ptr<StagingThread> staging_thread;
// Whether the connection was asked for, and beside which connection of the program (the
// server's id of it): a refusal holds until the program connects anew.
bool asked = false;
unsigned long asked_for = 0;
// The program's connection beside which a batch was last staged ahead.
unsigned long used_beside = 0;

}  // namespace

bool staging_ahead_available() {
  // VESTRAGEN_CONNECTIONS=1 or 2: a login whose connections are counted keeps to fewer.
  static const bool allowed = env_number("VESTRAGEN_CONNECTIONS", 3, 1, 3) >= 3;
  if (!allowed || db_on_cluster()) return false;
  if (staging_thread && staging_thread->of_program_connection()) return true;
  const unsigned long program = mysql_thread_id(db_handle());
  if (asked && asked_for == program) return false;  // refused for this connection
  staging_thread.reset();
  asked = true;
  asked_for = program;
  auto connection = std::make_unique<SideConnection>();
  if (!connection->open()) return false;
  staging_thread = std::make_unique<StagingThread>(std::move(connection));
  return true;
}

void staging_ahead_send(const char* key, std::vector<std::string> records) {
  used_beside = asked_for;
  staging_thread->send(key, std::move(records));
}

void staging_ahead_send_clear(const char* key) {
  used_beside = asked_for;
  staging_thread->send(key, {}, true);
}

bool staging_ahead_outstanding() { return staging_thread && staging_thread->outstanding(); }

StagingAheadResult staging_ahead_wait() {
  StagingAheadResult result = staging_thread->wait();
  // A run whose connection to the server broke ends as on its own connection.
  if (result.rc != 0 && db_connection_lost(result.rc)) {
    fatal_exit(kExitDatabase, "Verbindung zur Datenbank verloren! ErrNr: %d\n", result.rc);
  }
  return result;
}

bool staging_ahead_used() { return used_beside != 0 && used_beside == mysql_thread_id(db_handle()); }

void staging_ahead_close() {
  staging_thread.reset();
  asked = false;
}
