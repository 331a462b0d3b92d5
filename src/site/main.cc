#include "site/site_main.h"

int main(int argc, char** argv) {
  return site_main(argc, argv);
}
