#include "tsv_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

void site_fail(const std::string& message) {
  std::fprintf(stderr, "bench_site_generator: %s\n", message.c_str());
  std::exit(1);
}

TsvFile::TsvFile(const std::string& path) : path_(path), file_(std::fopen(path.c_str(), "wb")) {
  if (!file_) site_fail(path + ": " + std::strerror(errno));
}

TsvFile::~TsvFile() {
  // Closing is checked here rather than left to the deleter: a full disk often shows only
  // when the last buffer is flushed, and a silently short file would load a smaller site.
  std::FILE* f = file_.release();
  if (f != nullptr && std::fclose(f) != 0) site_fail(path_ + ": " + std::strerror(errno));
}

void TsvFile::separate() {
  if (fields_++ > 0) row_ += '\t';
}

TsvFile& TsvFile::text(std::string_view value) {
  if (value.find_first_of("\t\n\\") != std::string_view::npos) {
    site_fail("text with tab, line feed or backslash: " + std::string(value));
  }
  separate();
  row_ += value;
  return *this;
}

TsvFile& TsvFile::number(long long value) {
  separate();
  row_ += std::to_string(value);
  return *this;
}

TsvFile& TsvFile::hundredths(long long value) {
  separate();
  char text[32];
  const long long magnitude = value < 0 ? -value : value;
  std::snprintf(text, sizeof text, "%s%lld.%02lld", value < 0 ? "-" : "", magnitude / 100,
                magnitude % 100);
  row_ += text;
  return *this;
}

TsvFile& TsvFile::null() {
  separate();
  row_ += "\\N";
  return *this;
}

void TsvFile::end_row() {
  row_ += '\n';
  if (std::fwrite(row_.data(), 1, row_.size(), file_.get()) != row_.size()) {
    site_fail(path_ + ": " + std::strerror(errno));
  }
  row_.clear();
  fields_ = 0;
  ++rows_;
}
