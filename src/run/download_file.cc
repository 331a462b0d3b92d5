#include "run/download_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "db/cursor.h"
#include "db/staging.h"

namespace {

// The temporary file being written, or the file an appending run created. A run that ends
// on the way (a lost connection ends the process from below) must not leave it behind.
std::string pending_temp;

void remove_pending_temp() {
  if (!pending_temp.empty()) ::unlink(pending_temp.c_str());
}

void register_cleanup() {
  static const bool registered = std::atexit(remove_pending_temp) == 0;
  (void)registered;
}

void print_cannot_open(const char* path) {
  std::printf("Downloadfile %s konnte nicht geoeffnet werden!\n", path);
}

void print_cannot_write(const char* path) {
  std::printf("Downloadfile %s konnte nicht geschrieben werden!\n", path);
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

// Reads every record staged under path into out, in file form; with a sink, out is handed
// to it whenever it holds a megabyte, so that a large file need not be held whole. Prints
// and returns false when the read-back fails.
bool read_staged(const char* path, int record_width, bool fixed_width, std::string& out,
                 const std::function<void(std::string&)>& sink = nullptr) {
  constexpr std::size_t kChunk = 1 << 20;
  int rc = staging_open(path);
  if (rc == 0) {
    while ((rc = staging_fetch(record_buffer)) == 0) {
      download_record_append(out, record_buffer, record_width, fixed_width);
      if (sink && out.size() >= kChunk) sink(out);
    }
  }
  staging_close();
  if (rc != RC_NO_ROW) {
    std::printf("Fehler beim Lesen Tab. Kvb999Tmp! ErrNr: %d User: %s\n", rc, path);
    return false;
  }
  return true;
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
                          const struct stat& st, int record_width, bool fixed_width) {
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
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    print_cannot_open(path);
    return kExitDownloadFile;
  }
  pending_temp = temp;
  std::string content;
  bool written = true;
  const auto write_chunk = [&](std::string& chunk) {
    written = written && write_all(fd, chunk);
    chunk.clear();
  };
  if (!read_staged(path, record_width, fixed_width, content, write_chunk)) {
    ::close(fd);
    remove_pending_temp();
    pending_temp.clear();
    return kExitDatabase;
  }
  write_chunk(content);
  const mode_t mode = exists ? (st.st_mode & 07777) : new_file_mode();
  bool ok = written && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
    remove_pending_temp();
    pending_temp.clear();
    print_cannot_write(path);
    return kExitDownloadFile;
  }
  pending_temp.clear();
  return kExitSuccess;
}

// Appends, or writes a file that cannot be replaced (a device, a pipe) in place.
ExitStatus write_in_place(const char* path, const std::string& target, bool exists, bool append,
                          int record_width, bool fixed_width) {
  register_cleanup();
  const int flags = O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC);
  const int fd = ::open(target.c_str(), flags, 0666);
  if (fd < 0) {
    print_cannot_open(path);
    return kExitDownloadFile;
  }
  // A file this run created goes again if the run cannot finish it.
  if (!exists) pending_temp = target;
  std::string content;
  if (!read_staged(path, record_width, fixed_width, content)) {
    ::close(fd);
    remove_pending_temp();
    pending_temp.clear();
    return kExitDatabase;
  }
  pending_temp.clear();
  struct stat before;
  const bool regular = ::fstat(fd, &before) == 0 && S_ISREG(before.st_mode);
  bool ok = write_all(fd, content) && (!regular || ::fsync(fd) == 0);
  if (!ok && regular) {
    // Nothing half-appended: the terminal would read a broken record.
    if (::ftruncate(fd, before.st_size) != 0) ok = false;
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

ExitStatus download_file_write(const char* path, bool new_file, int record_width,
                               bool fixed_width) {
  const std::string target = resolve_target(path);
  struct stat st;
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    print_cannot_open(path);
    return kExitDownloadFile;
  }
  if (new_file && (!exists || S_ISREG(st.st_mode))) {
    return write_new_file(path, target, exists, st, record_width, fixed_width);
  }
  return write_in_place(path, target, exists, !new_file, record_width, fixed_width);
}
