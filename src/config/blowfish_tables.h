#pragma once
// Initial P-array and S-boxes of Blowfish, which every key schedule starts from.

#include <cstdint>

extern const std::uint32_t kBlowfishInitialP[18];
extern const std::uint32_t kBlowfishInitialS[4][256];
