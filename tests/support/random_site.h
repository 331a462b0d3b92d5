#pragma once
// A randomised site, deterministic from its seed, for the tests that prove two ways to a
// download agree (the per-badge statements, the inspector's explanation): terminal T1
// serving the standard clients MNDA and MNDB with 120 badge rows each, numbers repeated now
// and then; keys that differ from their neighbours in letter case or trailing blanks;
// several valid assignments per key; hidden rows, readers below 1 and above 11. Load it on
// a site that reset_site() emptied.

#include <cstdint>

void random_site_load(std::uint64_t seed);
