#include <cstdio>

#include "config_tool/config_tool.h"

int main(int argc, char** argv) { return config_tool_main(argc, argv, stdout, stderr); }
