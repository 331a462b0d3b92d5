#include <cstdio>

#include "inspect/inspect_main.h"

int main(int argc, char** argv) {
  return inspect_main(argc, argv, stdout, stderr);
}
