#include <cstdio>

#include "config/config_tool.h"

int main(int argc, char** argv) { return config_tool_main(argc, argv, stdout, stderr); }
