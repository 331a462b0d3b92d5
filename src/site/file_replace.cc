#include "site/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool file_replace(const std::string& path, std::string_view content, mode_t mode,
                  std::string& why) {
  const std::size_t slash = path.rfind('/');
  std::string temp = slash == std::string::npos
                         ? "." + path + ".XXXXXX"
                         : path.substr(0, slash + 1) + "." + path.substr(slash + 1) + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    why = std::strerror(errno);
    return false;
  }
  bool ok = true;
  while (ok && !content.empty()) {
    const ssize_t n = ::write(fd, content.data(), content.size());
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) content.remove_prefix(static_cast<std::size_t>(n));
  }
  ok = ok && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  int saved = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    why = std::strerror(saved);
  }
  return ok;
}

bool file_read(const std::string& path, std::string& text) {
  text.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[65536];
  ssize_t n = 0;
  while ((n = ::read(fd, buffer, sizeof buffer)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return n == 0;
}

mode_t file_default_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}
