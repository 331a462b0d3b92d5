#pragma once
// Blowfish (16 rounds, ECB) over the hex texts of the configuration file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// P-array, then S-boxes 0 to 3: 4168 bytes.
struct BlowfishState {
  std::uint32_t P[18];
  std::uint32_t S[4][256];
};
static_assert(sizeof(BlowfishState) == 4168);

// The one cipher state. Set up at the start of each decrypt_hex_string or
// encrypt_to_hex_string call and wiped (all zero) before it returns.
extern BlowfishState blowfish_state;

// The fixed key of the configuration file's values, used with its 7 characters.
inline constexpr char kConfigCipherKey[] = "QELMARV";

std::uint32_t blowfish_f(const BlowfishState& state, std::uint32_t x);
void blowfish_key_schedule(BlowfishState& state, const unsigned char* key, std::size_t length);
void blowfish_encrypt_block(const BlowfishState& state, std::uint32_t& left, std::uint32_t& right);
void blowfish_decrypt_block(const BlowfishState& state, std::uint32_t& left, std::uint32_t& right);

// Pairs of hex digits into bytes: n/2 bytes from n characters. "A" to "F" count 10 to 15,
// every other character its code minus 0x30 (so lower-case letters give other values).
void hex_to_bytes(const char* text, std::size_t n, unsigned char* output);

// Deciphers a hex text (16 digits per 8-byte block, each half of a block a little-endian
// word) into output and terminates it behind the last block. output must hold
// strlen(hex) / 2 + 1 bytes. Returns 1; returns 0 without reading past the text when its
// length is not a multiple of 16 (output is then an empty text).
int decrypt_hex_string(const char* hex, char* output, const char* key);

// The inverse, for writing configuration files: plain padded with zero bytes to whole
// blocks (an empty text gives one block of zeros), enciphered, as upper-case hex digits.
std::string encrypt_to_hex_string(std::string_view plain, const char* key);

// Sets n bytes to zero in a way the optimiser cannot remove.
void secure_wipe(void* p, std::size_t n);
