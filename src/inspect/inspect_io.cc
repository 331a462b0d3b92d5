#include "inspect/inspect_io.h"

#include <cerrno>
#include <cstring>

void inspect_print(const InspectIo& io, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), io.out);
}

void inspect_complain(const InspectIo& io, std::string_view message) {
  std::fprintf(io.err, "vestragen-inspect: %.*s\n", static_cast<int>(message.size()),
               message.data());
}

bool inspect_read_file(const std::string& path, std::string& bytes, std::string& problem) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    problem = path + ": " + std::strerror(errno);
    return false;
  }
  bytes.clear();
  char buffer[1 << 16];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    bytes.append(buffer, n);
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed) {
    problem = path + ": " + std::strerror(error);
    return false;
  }
  return true;
}
