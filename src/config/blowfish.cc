// TEMP STUB
#include "config/blowfish.h"
#include <cstring>
BlowfishState blowfish_state;
void secure_wipe(void* p, std::size_t n) { volatile unsigned char* q = static_cast<volatile unsigned char*>(p); while (n--) *q++ = 0; }
int decrypt_hex_string(const char*, char* out, const char*) { out[0] = 0; return 1; }
std::string encrypt_to_hex_string(std::string_view, const char*) { return ""; }
