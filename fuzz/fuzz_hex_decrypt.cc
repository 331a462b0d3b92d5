// The cipher of the configuration values on arbitrary text: decrypt_hex_string reads no
// byte past the text and leaves its output terminated and the cipher state wiped;
// encrypt_to_hex_string and decrypt_hex_string undo each other; hex_to_bytes stays within
// the pairs it is given.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "config/blowfish.h"
#include "fuzz_support.h"

namespace {

// Makes a state that was not wiped show, whatever the previous call left.
void soil_state() {
  std::memset(&blowfish_state, 0xA5, sizeof blowfish_state);
}

bool state_wiped() {
  static const BlowfishState kWiped{};
  return std::memcmp(&blowfish_state, &kWiped, sizeof kWiped) == 0;
}

bool upper_hex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

unsigned hex_value(char c) {
  return c <= '9' ? static_cast<unsigned>(c - '0') : static_cast<unsigned>(c - 'A' + 10);
}

// The input as the text of a value field: terminated, in a heap buffer of exactly its size,
// with an output buffer of the documented strlen / 2 + 1 bytes.
void check_decrypt(std::string_view input) {
  const std::unique_ptr<char[]> hex(new char[input.size() + 1]);
  input.copy(hex.get(), input.size());
  hex[input.size()] = '\0';
  const std::size_t length = std::strlen(hex.get());
  const std::size_t output_size = length / 2 + 1;
  const std::unique_ptr<char[]> output(new char[output_size]);
  std::memset(output.get(), 'x', output_size);

  soil_state();
  const int whole_blocks = decrypt_hex_string(hex.get(), output.get(), kConfigCipherKey);
  FUZZ_CHECK(state_wiped());
  FUZZ_CHECK(whole_blocks == (length % 16 == 0 ? 1 : 0));
  if (whole_blocks == 1) {
    FUZZ_CHECK(output[length / 2] == '\0');
  } else {
    FUZZ_CHECK(output[0] == '\0');
  }
}

// plain holds no NUL byte, key is terminated.
void check_round_trip(const std::string& plain, const char* key) {
  soil_state();
  const std::string hex = encrypt_to_hex_string(plain, key);
  FUZZ_CHECK(state_wiped());
  const std::size_t blocks = std::max<std::size_t>(1, (plain.size() + 7) / 8);
  FUZZ_CHECK(hex.size() == blocks * 16);
  FUZZ_CHECK(std::all_of(hex.begin(), hex.end(), upper_hex));

  const std::unique_ptr<char[]> output(new char[hex.size() / 2 + 1]);
  soil_state();
  FUZZ_CHECK(decrypt_hex_string(hex.c_str(), output.get(), key) == 1);
  FUZZ_CHECK(state_wiped());
  // The padding is zero bytes, so the text ends where plain ends.
  FUZZ_CHECK(plain == output.get());
}

// n bytes without a terminator, in a buffer of exactly n bytes.
void check_hex_to_bytes(std::string_view input) {
  const std::size_t n = input.size();
  const std::unique_ptr<char[]> text(new char[n]);
  input.copy(text.get(), n);
  const std::unique_ptr<unsigned char[]> bytes(new unsigned char[n / 2]);
  hex_to_bytes(text.get(), n, bytes.get());
  // Pairs of proper digits are read as hex; anything else follows the stored files' rule,
  // which only has to stay within the buffers.
  for (std::size_t i = 0; i < n / 2; ++i) {
    const char high = input[2 * i];
    const char low = input[2 * i + 1];
    if (upper_hex(high) && upper_hex(low)) {
      FUZZ_CHECK(bytes[i] == hex_value(high) * 16 + hex_value(low));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  check_decrypt(input);
  check_hex_to_bytes(input);

  // Text up to the first NUL round trips under the configuration key, and under the text
  // behind that NUL (up to the next one) as a key of its own, the empty key included.
  const std::size_t end = std::min(input.find('\0'), input.size());
  const std::string plain(input.substr(0, end));
  check_round_trip(plain, kConfigCipherKey);
  if (end < input.size()) {
    const std::string_view rest = input.substr(end + 1);
    const std::string key(rest.substr(0, rest.find('\0')));
    check_round_trip(plain, key.c_str());
  }
  return 0;
}
