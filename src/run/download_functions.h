#pragma once
// The download functions the run dispatches to, by their code.

#include <span>

#include "generators/generator.h"

struct DownloadFunction {
  const char* code;             // compared with the upper-cased argument 1, byte for byte
  GeneratorFunction generate;
  int record_width;             // 0: records are lines
  bool fixed_width;             // false: each record is written as a line
};

// In the order the codes are compared.
std::span<const DownloadFunction> download_functions();
