#include "config/blowfish.h"

#include <cstring>
#include <utility>

#include "config/blowfish_tables.h"

// Used only inside decrypt_hex_string and encrypt_to_hex_string, which set it up first and
// wipe it before returning; the program has one thread.
BlowfishState blowfish_state;

namespace {

constexpr char kUpperHexDigits[] = "0123456789ABCDEF";

// A block's halves are little-endian words: byte 0 of the 8 is the low byte of the left half.
std::uint32_t load_little_endian(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void store_little_endian(std::uint32_t word, unsigned char* bytes) {
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<unsigned char>(word >> (8 * i));
  }
}

}  // namespace

void secure_wipe(void* p, std::size_t n) {
  explicit_bzero(p, n);
}

std::uint32_t blowfish_f(const BlowfishState& state, std::uint32_t x) {
  const std::uint32_t a = x >> 24;
  const std::uint32_t b = (x >> 16) & 0xFF;
  const std::uint32_t c = (x >> 8) & 0xFF;
  const std::uint32_t d = x & 0xFF;
  return ((state.S[0][a] + state.S[1][b]) ^ state.S[2][c]) + state.S[3][d];
}

void blowfish_encrypt_block(const BlowfishState& state, std::uint32_t& left, std::uint32_t& right) {
  for (int i = 0; i < 16; ++i) {
    left ^= state.P[i];
    right ^= blowfish_f(state, left);
    std::swap(left, right);
  }
  std::swap(left, right);
  right ^= state.P[16];
  left ^= state.P[17];
}

void blowfish_decrypt_block(const BlowfishState& state, std::uint32_t& left, std::uint32_t& right) {
  for (int i = 17; i > 1; --i) {
    left ^= state.P[i];
    right ^= blowfish_f(state, left);
    std::swap(left, right);
  }
  std::swap(left, right);
  right ^= state.P[1];
  left ^= state.P[0];
}

// An empty key leaves the P-array as it starts; there is nothing to cycle through.
void blowfish_key_schedule(BlowfishState& state, const unsigned char* key, std::size_t length) {
  std::memcpy(state.P, kBlowfishInitialP, sizeof state.P);
  std::memcpy(state.S, kBlowfishInitialS, sizeof state.S);
  if (length > 0) {
    std::size_t next = 0;
    for (std::uint32_t& p : state.P) {
      std::uint32_t word = 0;
      for (int i = 0; i < 4; ++i) {
        word = word << 8 | key[next];
        next = (next + 1) % length;
      }
      p ^= word;
    }
  }
  std::uint32_t left = 0;
  std::uint32_t right = 0;
  for (int i = 0; i < 18; i += 2) {
    blowfish_encrypt_block(state, left, right);
    state.P[i] = left;
    state.P[i + 1] = right;
  }
  for (auto& box : state.S) {
    for (int i = 0; i < 256; i += 2) {
      blowfish_encrypt_block(state, left, right);
      box[i] = left;
      box[i + 1] = right;
    }
  }
}

// Stored files were written with this exact rule, lower-case letters included, so it must
// not become a proper hex parser.
void hex_to_bytes(const char* text, std::size_t n, unsigned char* output) {
  for (std::size_t i = 0; i < n / 2; ++i) {
    unsigned value[2];
    for (int k = 0; k < 2; ++k) {
      const unsigned code = static_cast<unsigned char>(text[2 * i + k]);
      value[k] = code >= 'A' && code <= 'F' ? code - 0x37 : code - 0x30;
    }
    output[i] = static_cast<unsigned char>(value[0] * 16 + value[1]);
  }
}

int decrypt_hex_string(const char* hex, char* output, const char* key) {
  const std::size_t length = std::strlen(hex);
  if (length % 16 != 0) {
    // A short last block would make hex_to_bytes read behind the terminator.
    output[0] = '\0';
    secure_wipe(&blowfish_state, sizeof blowfish_state);
    return 0;
  }
  blowfish_key_schedule(blowfish_state, reinterpret_cast<const unsigned char*>(key),
                        std::strlen(key));
  unsigned char block[8];
  std::uint32_t left = 0;
  std::uint32_t right = 0;
  std::size_t i = 0;
  for (; i < length; i += 16) {
    hex_to_bytes(hex + i, 16, block);
    left = load_little_endian(block);
    right = load_little_endian(block + 4);
    blowfish_decrypt_block(blowfish_state, left, right);
    store_little_endian(left, reinterpret_cast<unsigned char*>(output + i / 2));
    store_little_endian(right, reinterpret_cast<unsigned char*>(output + i / 2 + 4));
  }
  output[i / 2] = '\0';
  secure_wipe(&blowfish_state, sizeof blowfish_state);
  secure_wipe(block, sizeof block);
  secure_wipe(&left, sizeof left);
  secure_wipe(&right, sizeof right);
  return 1;
}

std::string encrypt_to_hex_string(std::string_view plain, const char* key) {
  blowfish_key_schedule(blowfish_state, reinterpret_cast<const unsigned char*>(key),
                        std::strlen(key));
  // An empty text still needs one block, or it would not decipher to a terminated text.
  const std::size_t blocks = plain.empty() ? 1 : (plain.size() + 7) / 8;
  std::string hex;
  hex.reserve(blocks * 16);
  unsigned char block[8];
  std::uint32_t left = 0;
  std::uint32_t right = 0;
  for (std::size_t b = 0; b < blocks; ++b) {
    std::memset(block, 0, sizeof block);
    const std::size_t offset = b * 8;
    const std::size_t count = plain.size() - offset < 8 ? plain.size() - offset : 8;
    if (count > 0) std::memcpy(block, plain.data() + offset, count);
    left = load_little_endian(block);
    right = load_little_endian(block + 4);
    blowfish_encrypt_block(blowfish_state, left, right);
    store_little_endian(left, block);
    store_little_endian(right, block + 4);
    for (unsigned char byte : block) {
      hex += kUpperHexDigits[byte >> 4];
      hex += kUpperHexDigits[byte & 0x0F];
    }
  }
  secure_wipe(&blowfish_state, sizeof blowfish_state);
  secure_wipe(block, sizeof block);
  secure_wipe(&left, sizeof left);
  secure_wipe(&right, sizeof right);
  return hex;
}
