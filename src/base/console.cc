#include "base/console.h"

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include "base/stop.h"

namespace {

// Changed only under the stop guard: a stop prints the held text.
bool holding = false;
std::string held;
// The length of the text already printed by console_release_upto since holding began: the
// places console_mark gives count from the start of holding.
std::size_t released = 0;
std::string* diverted = nullptr;

// False when standard output's reader has gone.
bool write_out(const std::string& text) {
  if (text.empty()) return true;
  if (diverted != nullptr) {
    *diverted += text;
    return true;
  }
  errno = 0;
  std::fwrite(text.data(), 1, text.size(), stdout);
  return !(std::ferror(stdout) && errno == EPIPE);
}

void print_held_on_stop() {
  (void)write_out(held);
  held.clear();
}

// Writes held[0, end) with each placed text before end put in at its place; the placed texts
// from first on; returns the index of the first placed text not written. Under the guard.
std::size_t write_held(std::size_t end, const ConsolePlacedTexts& placed, bool& written) {
  std::size_t done = 0;
  std::size_t next = 0;
  for (; next < placed.size(); ++next) {
    const auto& [place, text] = placed[next];
    const std::size_t at = place < released ? 0 : place - released;
    if (at > end) break;
    if (at > done) {
      written = write_out(held.substr(done, at - done)) && written;
      done = at;
    }
    written = write_out(text) && written;
  }
  if (done < end) written = write_out(held.substr(done, end - done)) && written;
  return next;
}

[[noreturn]] void stop_without_reader() { stop_run(128 + SIGPIPE); }

void append_formatted(std::string& out, const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  if (n > 0) {
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(n) + 1);
    std::vsnprintf(out.data() + at, static_cast<std::size_t>(n) + 1, format, again);
    out.resize(at + static_cast<std::size_t>(n));
  }
  va_end(again);
}

}  // namespace

void console_start() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  stop_on(print_held_on_stop);
}

void console_printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  console_vprintf(format, args);
  va_end(args);
}

void console_divert(std::string* text) { diverted = text; }

void console_vprintf(const char* format, va_list args) {
  if (!holding && diverted != nullptr) {
    append_formatted(*diverted, format, args);
    return;
  }
  if (!holding) {
    errno = 0;
    const int n = std::vprintf(format, args);
    if (n < 0 && errno == EPIPE) stop_without_reader();
    return;
  }
  const StopGuard guard;
  append_formatted(held, format, args);
}

std::size_t console_mark() {
  const StopGuard guard;
  holding = true;
  return released + held.size();
}

void console_release(const ConsolePlacedTexts& placed) {
  bool written = true;
  {
    const StopGuard guard;
    const std::size_t next = write_held(held.size(), placed, written);
    for (std::size_t i = next; i < placed.size(); ++i)
      written = write_out(placed[i].second) && written;
    held.clear();
    released = 0;
    holding = false;
  }
  if (!written) stop_without_reader();
}

void console_release_upto(std::size_t place, const ConsolePlacedTexts& placed) {
  bool written = true;
  {
    const StopGuard guard;
    const std::size_t end = std::min(place < released ? 0 : place - released, held.size());
    const std::size_t next = write_held(end, placed, written);
    for (std::size_t i = next; i < placed.size(); ++i)
      written = write_out(placed[i].second) && written;
    held.erase(0, end);
    released += end;
  }
  if (!written) stop_without_reader();
}

void console_forget_from(std::size_t place) {
  const StopGuard guard;
  const std::size_t at = place < released ? 0 : place - released;
  if (at < held.size()) held.resize(at);
}
