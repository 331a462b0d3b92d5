#include "base/console.h"

#include <cstdarg>
#include <cstdio>

namespace {

bool holding = false;
std::string held;

void write_out(const std::string& text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
}

}  // namespace

void console_printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  if (!holding) {
    std::vprintf(format, args);
    va_end(args);
    return;
  }
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (n > 0) {
    const std::size_t at = held.size();
    held.resize(at + static_cast<std::size_t>(n) + 1);
    std::vsnprintf(held.data() + at, static_cast<std::size_t>(n) + 1, format, again);
    held.resize(at + static_cast<std::size_t>(n));
  }
  va_end(again);
}

std::size_t console_mark() {
  holding = true;
  return held.size();
}

void console_release(const ConsolePlacedTexts& placed) {
  std::size_t done = 0;
  for (const auto& [place, text] : placed) {
    const std::size_t upto = place < held.size() ? place : held.size();
    if (upto > done) {
      write_out(held.substr(done, upto - done));
      done = upto;
    }
    write_out(text);
  }
  if (done < held.size()) write_out(held.substr(done));
  held.clear();
  holding = false;
}
