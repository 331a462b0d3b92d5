#include "run/arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
  ExitStatus status;
  RunArguments args;
  std::string out;
};

Parsed parse(std::vector<std::string> words) {
  words.insert(words.begin(), "vestragen");
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  Parsed p;
  testing::internal::CaptureStdout();
  p.status = arguments_parse(static_cast<int>(words.size()), argv.data(), p.args);
  p.out = testing::internal::GetCapturedStdout();
  return p;
}

}  // namespace

TEST(ArgumentsParse, FewerThanFourPrintTheUsageTexts) {
  const Parsed p = parse({"ZKDNL31P", "T1", "t1.dat"});
  EXPECT_EQ(kExitUsage, p.status);
  EXPECT_EQ(
      "Anzahl Parameter(mind. 4) unterschritten! AnzParam: 3"
      "Aufruf: VESTRAGEN [Param1] [Param2] [Param3] [Param4]  \n"
      "Param1: DNL-Funktion\n"
      "Param2: Terminal-Name\n"
      "Param3: Pfad der DNL-Datei\n"
      "Param4: 1: neu 0: dran h\xE4ngen\n",
      p.out);
  EXPECT_EQ(kExitUsage, parse({}).status);
}

TEST(ArgumentsParse, FourOrMoreAreCopied) {
  const Parsed p = parse({"zkdnl31p", "T1", "C:\\dnl\\t1.dat", "1", "extra", "more"});
  EXPECT_EQ(kExitSuccess, p.status);
  EXPECT_STREQ("zkdnl31p", p.args.function_code);  // upper-cased only after connecting
  EXPECT_STREQ("T1", p.args.terminal_name);
  EXPECT_STREQ("C:\\dnl\\t1.dat", p.args.download_path);
  EXPECT_TRUE(p.args.new_file);
  EXPECT_EQ("", p.out);
}

TEST(ArgumentsParse, OnlyALeadingOneSelectsANewFile) {
  const struct {
    const char* flag;
    bool new_file;
  } cases[] = {{"1", true}, {"10", true}, {"1abc", true}, {"0", false},
               {"2", false}, {" 1", false}, {"", false}, {"a", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flag);
    EXPECT_EQ(c.new_file, parse({"X", "T", "p", c.flag}).args.new_file);
  }
}

TEST(ArgumentsParse, EachArgumentAtItsLimitPassesAndOneMoreIsRefused) {
  const std::string code(19, 'C'), terminal(11, 'T'), path(159, 'p');
  EXPECT_EQ(kExitSuccess, parse({code, terminal, path, "1"}).status);

  const Parsed long_code = parse({code + "C", terminal, path, "1"});
  EXPECT_EQ(kExitUsage, long_code.status);
  EXPECT_EQ("Param1 zu lang! (max. 19 Zeichen)\n", long_code.out);
  const Parsed long_terminal = parse({code, terminal + "T", path, "1"});
  EXPECT_EQ(kExitUsage, long_terminal.status);
  EXPECT_EQ("Param2 zu lang! (max. 11 Zeichen)\n", long_terminal.out);
  const Parsed long_path = parse({code, terminal, path + "p", "1"});
  EXPECT_EQ(kExitUsage, long_path.status);
  EXPECT_EQ("Param3 zu lang! (max. 159 Zeichen)\n", long_path.out);
}
