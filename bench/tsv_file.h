#pragma once
// One table's rows as a tab-separated file in the form LOAD DATA reads by default: fields
// separated by tabs, rows ended by a line feed, \N for NULL. Texts are the generator's own
// and must hold no tab, line feed or backslash.

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

class TsvFile {
 public:
  // Creates the file; a failure ends the process with a message on standard error.
  explicit TsvFile(const std::string& path);
  TsvFile(const TsvFile&) = delete;
  TsvFile& operator=(const TsvFile&) = delete;
  ~TsvFile();

  TsvFile& text(std::string_view value);
  TsvFile& number(long long value);
  // A decimal number given in hundredths, written with two decimals (-1234 gives -12.34).
  TsvFile& hundredths(long long value);
  TsvFile& null();
  // Writes the row; a failure ends the process.
  void end_row();

  long long rows() const { return rows_; }

 private:
  void separate();

  struct FileClose {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
  };
  std::string path_;
  std::unique_ptr<std::FILE, FileClose> file_;
  std::string row_;
  int fields_ = 0;  // in row_
  long long rows_ = 0;
};

// Ends the process with status 1 after a message on standard error.
[[noreturn]] void site_fail(const std::string& message);
