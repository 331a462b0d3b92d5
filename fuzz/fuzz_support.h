#pragma once
// What the fuzz targets share: a broken invariant ends the run as a finding, and each
// process writes its files into a temporary directory of its own.

#include <string>
#include <string_view>

// Prints the failed condition and aborts; libFuzzer reports that as a crash and keeps the
// input that caused it.
[[noreturn]] void fuzz_check_failed(const char* condition, const char* file, int line);

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : fuzz_check_failed(#condition, __FILE__, __LINE__))

// The process's own directory under $TMPDIR (default /tmp), made on first use and removed
// with its contents when the process exits normally. Two targets running side by side, or
// libFuzzer's workers, never share files. A crash leaves it behind; scripts/fuzz.sh points
// TMPDIR at a scratch directory that it removes.
const std::string& fuzz_temp_dir();

// name inside fuzz_temp_dir().
std::string fuzz_temp_path(std::string_view name);

// Replaces the file at path by bytes. A failure is the harness's, not the code's under
// test: it ends the process with a message.
void fuzz_write_file(const std::string& path, std::string_view bytes);

// The whole file at path into bytes; false when it cannot be opened.
bool fuzz_read_file(const std::string& path, std::string& bytes);
