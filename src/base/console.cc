#include "base/console.h"

#include <signal.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include "base/stop.h"

namespace {

// Changed only under the stop guard: a stop prints the held text.
bool holding = false;
std::string held;
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
  return held.size();
}

void console_release(const ConsolePlacedTexts& placed) {
  bool written = true;
  {
    const StopGuard guard;
    std::size_t done = 0;
    for (const auto& [place, text] : placed) {
      const std::size_t upto = place < held.size() ? place : held.size();
      if (upto > done) {
        written = write_out(held.substr(done, upto - done)) && written;
        done = upto;
      }
      written = write_out(text) && written;
    }
    if (done < held.size()) written = write_out(held.substr(done)) && written;
    held.clear();
    holding = false;
  }
  if (!written) stop_without_reader();
}
