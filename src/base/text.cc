#include "base/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
bool is_trailing_blank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
}  // namespace

char* trim_trailing_blanks(char* text) {
  std::size_t n = std::strlen(text);
  while (n > 0 && is_trailing_blank(text[n - 1])) --n;
  text[n] = '\0';
  return text;
}

void trim_trailing_blanks(std::string& text) {
  std::size_t n = text.size();
  while (n > 0 && is_trailing_blank(text[n - 1])) --n;
  text.resize(n);
}

char* to_upper(char* text) {
  // Only the 26 ASCII letters change; umlauts and other bytes from 0x80 up stay as they are,
  // whatever locale the process runs in.
  for (std::size_t i = std::strlen(text); i > 0; --i) {
    char& c = text[i - 1];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool copy_text(char* buffer, std::size_t capacity, const char* text) {
  const std::size_t n = std::strlen(text);
  if (n >= capacity) return false;
  std::memcpy(buffer, text, n + 1);
  return true;
}

std::string format_text(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

int env_number(const char* name, int fallback, int lowest, int highest) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  char* end = nullptr;
  const long number = std::strtol(text, &end, 10);
  if (*end != '\0' || number < lowest || number > highest) return fallback;
  return static_cast<int>(number);
}
