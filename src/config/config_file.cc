// TEMP STUB
#include "config/config_file.h"
int config_number; char config_section[201], config_key[201], config_value[201];
ConfigReadResult config_read(const char*, const char*, int, const char*) { return {}; }
