#include "config/blowfish.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::uint32_t word_from_hex(const std::string& hex) {
  return static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16));
}

// 8 bytes from 16 proper hex digits (not hex_to_bytes, which is under test).
std::vector<unsigned char> bytes_from_hex(const std::string& hex) {
  std::vector<unsigned char> bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    bytes.push_back(static_cast<unsigned char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string decrypt(const std::string& hex) {
  std::vector<char> output(hex.size() / 2 + 1, 'x');
  EXPECT_EQ(1, decrypt_hex_string(hex.c_str(), output.data(), kConfigCipherKey));
  return output.data();
}

bool state_is_wiped() {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&blowfish_state);
  for (std::size_t i = 0; i < sizeof blowfish_state; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

}  // namespace

TEST(Blowfish, PublishedVectorsEncipherAndDecipher) {
  // Key bytes as given; the plain text's first four bytes big-endian are the left half.
  const struct {
    const char* key;
    const char* plain;
    const char* cipher;
  } cases[] = {
      {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
      {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
      {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
      {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
      {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
      {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    const std::vector<unsigned char> key = bytes_from_hex(c.key);
    BlowfishState state;
    blowfish_key_schedule(state, key.data(), key.size());
    const std::string plain = c.plain;
    const std::string cipher = c.cipher;
    std::uint32_t left = word_from_hex(plain.substr(0, 8));
    std::uint32_t right = word_from_hex(plain.substr(8));
    blowfish_encrypt_block(state, left, right);
    EXPECT_EQ(word_from_hex(cipher.substr(0, 8)), left);
    EXPECT_EQ(word_from_hex(cipher.substr(8)), right);
    blowfish_decrypt_block(state, left, right);
    EXPECT_EQ(word_from_hex(plain.substr(0, 8)), left);
    EXPECT_EQ(word_from_hex(plain.substr(8)), right);
  }
}

TEST(HexToBytes, CapitalsAreDigitsAndEveryOtherCharacterCountsItsCodeMinus0x30) {
  const struct {
    const char* text;
    unsigned char byte;
  } cases[] = {
      {"00", 0x00}, {"9A", 0x9A}, {"FF", 0xFF}, {"a0", 0x10},  // 'a' counts 0x31
      {"0a", 0x31}, {"G1", 0x71},                              // 'G' counts 23
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    unsigned char out[2] = {0xEE, 0xEE};
    hex_to_bytes(c.text, 3, out);  // an odd count leaves the last digit alone
    EXPECT_EQ(c.byte, out[0]);
    EXPECT_EQ(0xEE, out[1]);
  }
}

TEST(DecryptHexString, BlockHalvesAreLittleEndianWords) {
  BlowfishState state;
  blowfish_key_schedule(state, reinterpret_cast<const unsigned char*>(kConfigCipherKey), 7);
  std::uint32_t left = 0x64636261;   // "abcd"
  std::uint32_t right = 0x00006665;  // "ef" and two zero bytes
  blowfish_encrypt_block(state, left, right);
  char hex[17];
  std::snprintf(hex, sizeof hex, "%02X%02X%02X%02X%02X%02X%02X%02X", left & 0xFF, left >> 8 & 0xFF,
                left >> 16 & 0xFF, left >> 24, right & 0xFF, right >> 8 & 0xFF, right >> 16 & 0xFF,
                right >> 24);
  EXPECT_EQ("abcdef", decrypt(hex));
  EXPECT_EQ(hex, encrypt_to_hex_string("abcdef", kConfigCipherKey));
}

TEST(DecryptHexString, TerminatesBehindTheLastBlock) {
  std::vector<char> output(10, 'x');
  ASSERT_EQ(1, decrypt_hex_string("", output.data(), kConfigCipherKey));
  EXPECT_EQ('\0', output[0]);
  EXPECT_EQ('x', output[1]);

  const std::string hex = encrypt_to_hex_string("12345678", kConfigCipherKey);
  std::fill(output.begin(), output.end(), 'x');
  ASSERT_EQ(1, decrypt_hex_string(hex.c_str(), output.data(), kConfigCipherKey));
  EXPECT_EQ("12345678", std::string(output.data(), 8));
  EXPECT_EQ('\0', output[8]);
  EXPECT_EQ('x', output[9]);
}

TEST(EncryptToHexString, RoundTripsInWholeBlocksAndWipesTheState) {
  const struct {
    const char* plain;
    std::size_t hex_length;
  } cases[] = {
      {"", 16},
      {"abc", 16},
      {"abcdefgh", 16},
      {"abcdefghi", 32},  // a block without zero byte runs on into the next
      {"ab;\"' \xFC", 16},
      {"0123456789012345678901234567890123456789012345678X", 112},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plain);
    const std::string hex = encrypt_to_hex_string(c.plain, kConfigCipherKey);
    EXPECT_TRUE(state_is_wiped());
    EXPECT_EQ(c.hex_length, hex.size());
    EXPECT_EQ(std::string::npos, hex.find_first_not_of("0123456789ABCDEF"));
    EXPECT_EQ(c.plain, decrypt(hex));
    EXPECT_TRUE(state_is_wiped());
  }
}

TEST(DecryptHexString, LowerCaseDigitsDecipherDifferently) {
  const std::string hex = encrypt_to_hex_string("scott", kConfigCipherKey);
  std::string lower = hex;
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  ASSERT_NE(hex, lower);
  EXPECT_NE("scott", decrypt(lower));
}

TEST(DecryptHexString, RefusesPartialBlocksWithoutReadingPastTheText) {
  for (const std::size_t length : {1, 15, 17, 31}) {
    SCOPED_TRACE(length);
    // Exactly the text and its terminator on the heap, so that a read behind it is caught.
    std::vector<char> hex(length + 1, 'A');
    hex[length] = '\0';
    std::vector<char> output(length / 2 + 1, 'x');
    EXPECT_EQ(0, decrypt_hex_string(hex.data(), output.data(), kConfigCipherKey));
    EXPECT_EQ('\0', output[0]);
    EXPECT_TRUE(state_is_wiped());
  }
}
