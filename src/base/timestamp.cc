#include "base/timestamp.h"

#include <cstdio>
#include <ctime>

std::string iso8601_time(std::chrono::system_clock::time_point time) {
  const auto since_epoch = time.time_since_epoch();
  const auto whole = std::chrono::floor<std::chrono::seconds>(since_epoch);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch - whole);
  const std::time_t t = static_cast<std::time_t>(whole.count());
  std::tm local{};
  ::localtime_r(&t, &local);
  char date[32];
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  const long offset_minutes = local.tm_gmtoff / 60;
  const long away = offset_minutes < 0 ? -offset_minutes : offset_minutes;
  char text[64];
  std::snprintf(text, sizeof text, "%s.%03d%c%02ld:%02ld", date, static_cast<int>(millis.count()),
                offset_minutes < 0 ? '-' : '+', away / 60, away % 60);
  return text;
}

std::string seconds_text(std::chrono::steady_clock::duration duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", std::chrono::duration<double>(duration).count());
  return text;
}
