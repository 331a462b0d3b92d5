#pragma once
// Times as reports and logs write them.

#include <chrono>
#include <string>

// ISO 8601 in local time with milliseconds and the offset from UTC:
// "2026-12-08T06:00:01.250+01:00".
std::string iso8601_time(std::chrono::system_clock::time_point time);

// Seconds as a JSON or Prometheus number: "0.004210".
std::string seconds_text(std::chrono::steady_clock::duration duration);
