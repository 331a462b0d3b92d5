#include "run/download_functions.h"

#include "generators/idstamm.h"
#include "generators/zkdnl17p.h"
#include "generators/zkdnl18p.h"
#include "generators/zkdnl31p.h"
#include "generators/zkdnl60p.h"

namespace {
// Compared in this order. A code not listed here visits the schemas, stages nothing, and
// still writes the file.
constexpr DownloadFunction kFunctions[] = {
    {"ZKDNL17P", zkdnl17p_generate, 85, true},
    {"ZKDNL18P", zkdnl18p_generate, 173, true},
    {"ZKDNL31P", zkdnl31p_generate, 48, true},
    {"ZKDNL60P", zkdnl60p_generate, 45, true},
    {"IDSTAMM", idstamm_generate, 0, false},
};
}  // namespace

std::span<const DownloadFunction> download_functions() {
  return kFunctions;
}
