#pragma once
// A directory under /tmp that lives as long as the object, and whole-file helpers for the
// files the tests put there. Shared by unit_tests and db_tests (library test_support).

#include <string>

class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The whole file as bytes; "<missing>" when it cannot be read.
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);
bool file_exists(const std::string& path);
// The permission bits (07777) of the file at path, a link followed; -1 when there is none.
int file_mode(const std::string& path);
// Sets the permission bits of the file at path; throws when it cannot.
void set_file_mode(const std::string& path, unsigned mode);
// Names of the entries of a directory, "." and ".." left out, sorted.
std::string list_dir(const std::string& path);
