#include "run/download_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "base/console.h"
#include "base/stop.h"
#include "db/cursor.h"
#include "db/path_lock.h"
#include "db/staging.h"
#include "generators/badge_walk.h"

namespace {

// Half-done work that a run ending on the way (a signal, a lost connection) must undo, so
// that the download file stays as it was and nothing is left beside it. Changed only under
// the stop guard.
struct PendingWork {
  std::string remove;     // the temporary file being written, or a file this run created
  int append_fd = -1;     // an append in progress on a regular file, cut back ...
  off_t append_from = 0;  // ... to this length
};
PendingWork pending;

void undo_pending() {
  if (!pending.remove.empty()) ::unlink(pending.remove.c_str());
  if (pending.append_fd >= 0 && ::ftruncate(pending.append_fd, pending.append_from) == 0) {
    (void)::fsync(pending.append_fd);
  }
  pending = PendingWork{};
}

void register_cleanup() {
  static const bool registered = (stop_on(undo_pending), true);
  (void)registered;
}

void print_cannot_open(const char* path) {
  console_printf("Downloadfile %s konnte nicht geoeffnet werden!\n", path);
}

void print_cannot_write(const char* path) {
  console_printf("Downloadfile %s konnte nicht geschrieben werden!\n", path);
}

bool write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Writes data to a regular file in pieces, each under the stop guard: a stop then finds the
// file between two pieces and can cut it back.
bool write_guarded(int fd, std::string_view data) {
  constexpr std::size_t kPiece = 1 << 20;
  while (!data.empty()) {
    const std::string_view piece = data.substr(0, kPiece);
    {
      const StopGuard guard;
      if (!write_all(fd, piece)) return false;
    }
    data.remove_prefix(piece.size());
  }
  return true;
}

// Reads every record staged under path into out, in file form, counting them in records;
// with a sink, out is handed to it whenever it holds a megabyte, so that a large file need
// not be held whole. Prints and returns the run's status when the read-back fails
// (kExitDatabase), or when another run took the cluster lock over meanwhile (kExitBusy: the
// records read may be its).
ExitStatus read_staged(const char* path, int record_width, bool fixed_width, std::string& out,
                       long& records, const std::function<void(std::string&)>& sink = nullptr) {
  constexpr std::size_t kChunk = 1 << 20;
  int rc = staging_open(path);
  if (rc == 0) {
    while ((rc = staging_fetch(record_buffer)) == 0) {
      download_record_append(out, record_buffer, record_width, fixed_width);
      ++records;
      if (sink && out.size() >= kChunk) sink(out);
    }
  }
  (void)staging_close();
  if (rc == RC_NO_ROW) rc = staging_confirm();
  if (rc == RC_LOCK_LOST) {
    print_lock_lost(path);
    return kExitBusy;
  }
  if (rc != 0) {
    console_printf("Fehler beim Lesen Tab. Kvb999Tmp! ErrNr: %d User: %s\n", rc, path);
    return kExitDatabase;
  }
  return kExitSuccess;
}

// The file to write: a symbolic link is followed, so that the link stays and its target
// gets the new content, as when the file is opened for writing.
std::string resolve_target(const char* path) {
  struct stat st;
  if (::lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path, resolved) != nullptr) return resolved;
  }
  return path;
}

mode_t new_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

ExitStatus write_new_file(const char* path, const std::string& target, bool exists,
                          const struct stat& st, int record_width, bool fixed_width,
                          long& records) {
  const std::size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temp = (slash == std::string::npos ? "" : dir) + "." + base + ".XXXXXX";
  // The rename would replace a file that the user may not write, one an administrator has
  // write-protected; opening it for writing would fail, and so does this run.
  if (exists && ::access(target.c_str(), W_OK) != 0) {
    print_cannot_open(path);
    return kExitDownloadFile;
  }
  register_cleanup();
  int fd = -1;
  {
    const StopGuard guard;
    fd = ::mkstemp(temp.data());
    if (fd >= 0) pending.remove = temp;
  }
  if (fd < 0) {
    print_cannot_open(path);
    return kExitDownloadFile;
  }
  std::string content;
  bool written = true;
  const auto write_chunk = [&](std::string& chunk) {
    written = written && write_all(fd, chunk);
    chunk.clear();
  };
  if (const ExitStatus read =
          read_staged(path, record_width, fixed_width, content, records, write_chunk);
      read != kExitSuccess) {
    ::close(fd);
    const StopGuard guard;
    undo_pending();
    return read;
  }
  write_chunk(content);
  const mode_t mode = exists ? (st.st_mode & 07777) : new_file_mode();
  bool ok = written && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  const StopGuard guard;
  if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
    undo_pending();
    print_cannot_write(path);
    return kExitDownloadFile;
  }
  pending = PendingWork{};
  return kExitSuccess;
}

// Appends, or writes a file that cannot be replaced (a device, a pipe) in place.
ExitStatus write_in_place(const char* path, const std::string& target, bool exists, bool append,
                          int record_width, bool fixed_width, long& records) {
  register_cleanup();
  const int flags = O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC);
  int fd = -1;
  {
    // A file this run creates goes again if the run cannot finish it.
    const StopGuard guard;
    fd = ::open(target.c_str(), flags, 0666);
    if (fd >= 0 && !exists) pending.remove = target;
  }
  if (fd < 0) {
    print_cannot_open(path);
    return kExitDownloadFile;
  }
  std::string content;
  if (const ExitStatus read = read_staged(path, record_width, fixed_width, content, records);
      read != kExitSuccess) {
    ::close(fd);
    const StopGuard guard;
    undo_pending();
    return read;
  }
  struct stat before;
  const bool regular = ::fstat(fd, &before) == 0 && S_ISREG(before.st_mode);
  bool ok = true;
  if (regular) {
    {
      // Nothing half-appended: the terminal would read a broken record.
      const StopGuard guard;
      if (exists) {
        pending.append_fd = fd;
        pending.append_from = before.st_size;
      }
    }
    ok = write_guarded(fd, content) && ::fsync(fd) == 0;
    const StopGuard guard;
    if (!ok) undo_pending();
    pending = PendingWork{};
  } else {
    // A device or a pipe cannot be cut back; what went out is gone.
    ok = write_all(fd, content);
    const StopGuard guard;
    pending = PendingWork{};
  }
  ok = (::close(fd) == 0) && ok;
  if (!ok) {
    print_cannot_write(path);
    return kExitDownloadFile;
  }
  return kExitSuccess;
}

}  // namespace

void download_record_append(std::string& out, std::string_view record, int record_width,
                            bool fixed_width) {
  std::string line(record);
  if (record_width > 0 && line.size() < static_cast<std::size_t>(record_width)) {
    line.append(static_cast<std::size_t>(record_width) - line.size(), ' ');
  }
  if (!fixed_width && line.find('\n') == std::string::npos) line += '\n';
  for (char c : line) {
    if (c == '\n') out += '\r';
    out += c;
  }
}

ExitStatus download_file_write(const char* path, bool new_file, int record_width, bool fixed_width,
                               long* records) {
  long read = 0;
  if (records != nullptr) *records = 0;
  const std::string target = resolve_target(path);
  struct stat st;
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    print_cannot_open(path);
    return kExitDownloadFile;
  }
  const ExitStatus status =
      new_file && (!exists || S_ISREG(st.st_mode))
          ? write_new_file(path, target, exists, st, record_width, fixed_width, read)
          : write_in_place(path, target, exists, !new_file, record_width, fixed_width, read);
  if (records != nullptr && status == kExitSuccess) *records = read;
  return status;
}
