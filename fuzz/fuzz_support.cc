#include "fuzz_support.h"

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

// Removes the directory at a normal exit; libFuzzer ends a bounded run with exit().
class FuzzTempDir {
 public:
  FuzzTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/vestragen-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      std::fprintf(stderr, "fuzz: cannot create a temporary directory %s\n", pattern.c_str());
      std::exit(2);
    }
    path_ = pattern;
  }
  ~FuzzTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  FuzzTempDir(const FuzzTempDir&) = delete;
  FuzzTempDir& operator=(const FuzzTempDir&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct FileClose {
  void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

}  // namespace

void fuzz_check_failed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "\nfuzz: check failed at %s:%d: %s\n", file, line, condition);
  std::abort();
}

const std::string& fuzz_temp_dir() {
  static const FuzzTempDir dir;
  return dir.path();
}

std::string fuzz_temp_path(std::string_view name) {
  return fuzz_temp_dir() + "/" + std::string(name);
}

void fuzz_write_file(const std::string& path, std::string_view bytes) {
  // A new file rather than a truncated one: ext4 writes a truncated file out when it is
  // closed, which made that the most of a run.
  std::remove(path.c_str());
  std::FILE* file = std::fopen(path.c_str(), "wb");
  bool written = file != nullptr;
  if (written) {
    written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    written = std::fclose(file) == 0 && written;
  }
  if (!written) {
    std::fprintf(stderr, "fuzz: cannot write %s\n", path.c_str());
    std::exit(2);
  }
}

bool fuzz_read_file(const std::string& path, std::string& bytes) {
  std::unique_ptr<std::FILE, FileClose> file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  bytes.clear();
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) {
    bytes.append(buffer, n);
  }
  return !std::ferror(file.get());
}
