#pragma once
// The generator's random numbers. Only the raw engine comes from the standard library: its
// output sequence is fixed by the standard, while std:: distributions differ between
// library implementations, so a seed would not give the same site everywhere.

#include <cstdint>
#include <random>

class SiteRandom {
 public:
  explicit SiteRandom(std::uint64_t seed) : engine_(seed) {}

  // A number from 0 to n - 1, n > 0, without the bias of a plain modulo.
  std::uint64_t below(std::uint64_t n) {
    const std::uint64_t limit = UINT64_MAX - UINT64_MAX % n;
    std::uint64_t x = engine_();
    while (x >= limit)
      x = engine_();
    return x % n;
  }

  // A number from lo to hi, both included, lo <= hi.
  int between(int lo, int hi) {
    return lo + static_cast<int>(below(static_cast<std::uint64_t>(hi - lo) + 1));
  }

  // True in per_mille of a thousand cases.
  bool chance(int per_mille) { return below(1000) < static_cast<std::uint64_t>(per_mille); }

 private:
  std::mt19937_64 engine_;
};
