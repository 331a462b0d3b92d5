#include "run/arguments.h"

#include <cstring>

#include "base/console.h"
#include "base/text.h"
#include "db/staging.h"

namespace {
bool copy_argument(int number, const char* text, char* buffer, std::size_t capacity,
                   std::size_t limit) {
  if (std::strlen(text) > limit || !copy_text(buffer, capacity, text)) {
    console_printf("Param%d zu lang! (max. %zu Zeichen)\n", number, limit);
    return false;
  }
  return true;
}
}  // namespace

ExitStatus arguments_parse(int argc, char** argv, RunArguments& out) {
  if (argc - 1 < 4) {
    console_printf("Anzahl Parameter(mind. 4) unterschritten! AnzParam: %d", argc - 1);
    console_printf("Aufruf: VESTRAGEN [Param1] [Param2] [Param3] [Param4]  \n");
    console_printf("Param1: DNL-Funktion\n");
    console_printf("Param2: Terminal-Name\n");
    console_printf("Param3: Pfad der DNL-Datei\n");
    console_printf("Param4: 1: neu 0: dran h\xE4" "ngen\n");
    return kExitUsage;
  }
  if (!copy_argument(1, argv[1], out.function_code, sizeof out.function_code,
                     sizeof out.function_code - 1) ||
      !copy_argument(2, argv[2], out.terminal_name, sizeof out.terminal_name,
                     sizeof out.terminal_name - 1) ||
      !copy_argument(3, argv[3], out.download_path, sizeof out.download_path, kStagingKeyMax)) {
    return kExitUsage;
  }
  out.new_file = argv[4][0] == '1';
  return kExitSuccess;
}
