// TEMP STUB
#include "config/config_tool.h"
int config_tool_main(int, char**, std::FILE*, std::FILE*) { return 0; }
