#include "run/download_functions.h"

#include "generators/idstamm.h"
#include "generators/zkdnl18p.h"
#include "generators/zkdnl31p.h"

namespace {
// In the order ZKDNL17P, ZKDNL18P, ZKDNL31P, ZKDNL60P, IDSTAMM; the others join as they are
// built. A code not listed here visits the schemas, stages nothing, and still writes the
// file.
constexpr DownloadFunction kFunctions[] = {
    {"ZKDNL18P", zkdnl18p_generate, 173, true},
    {"ZKDNL31P", zkdnl31p_generate, 48, true},
    {"IDSTAMM", idstamm_generate, 0, false},
};
}  // namespace

std::span<const DownloadFunction> download_functions() {
  return kFunctions;
}
