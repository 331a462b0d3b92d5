#include "run/download_functions.h"

namespace {
// A code not listed here visits the schemas, stages nothing, and still writes the file.
constexpr DownloadFunction kFunctions[] = {
    {"", nullptr, 0, true},
};
}  // namespace

std::span<const DownloadFunction> download_functions() {
  return std::span<const DownloadFunction>(kFunctions).subspan(1);
}
