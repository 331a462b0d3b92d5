#include "config_tool/config_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "config/config_file.h"
#include "config/config_test_files.h"
#include "support/temp_dir.h"

namespace {

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string stream_text(std::FILE* stream) {
  std::string text;
  std::rewind(stream);
  for (int c = std::getc(stream); c != EOF; c = std::getc(stream))
    text += static_cast<char>(c);
  std::fclose(stream);
  return text;
}

class ConfigToolTest : public ::testing::Test {
 protected:
  // Runs vestragen-config --file path_ args..., with input as its standard input.
  ToolRun run(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"vestragen-config", "--file", path_});
    std::vector<char*> argv;
    for (std::string& arg : args)
      argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    std::fputs(input.c_str(), in);
    std::rewind(in);
    ToolRun result;
    result.status = config_tool_main(static_cast<int>(args.size()), argv.data(), in, out, err);
    std::fclose(in);
    result.out = stream_text(out);
    result.err = stream_text(err);
    return result;
  }

  std::string lookup(const char* key) {
    EXPECT_EQ(ConfigStatus::kOk, config_read("", key, 0, path_.c_str()).status);
    return config_value;
  }

  ScopedTempDir dir_;
  std::string path_ = dir_.file("korvandel.ini");
};

const std::string k50(50, '5');

}  // namespace

TEST_F(ConfigToolTest, SetValueComesBackFromTheRunsLookup) {
  const std::string cases[] = {
      "scott", "a;b\"c'd e f", "gr\xFC\xDF", k50, "12345678", "1234567890123456", "",
  };
  for (const std::string& value : cases) {
    for (const std::string key : {"LOGIN", "PASS"}) {
      for (const bool from_input : {false, true}) {
        SCOPED_TRACE(key + (from_input ? " from input " : " ") + value);
        std::remove(path_.c_str());
        const ToolRun set = from_input ? run({"set", "S", "2", key, "-"}, value + "\r\n")
                                       : run({"set", "S", "2", key, value});
        ASSERT_EQ(0, set.status) << set.err;
        EXPECT_EQ("", set.err);
        EXPECT_EQ(value, lookup(key.c_str()));
      }
    }
  }
}

TEST_F(ConfigToolTest, SchemaIsStoredForTheRunToDropItsLastCharacter) {
  for (const std::string schema : {"abcdefghij0123456789", "mnd_a"}) {
    ASSERT_EQ(0, run({"set", "VESTRAGEN", "4", "SCHEMA", schema}).status);
    std::string database = lookup("SCHEMA");
    ASSERT_FALSE(database.empty());
    database.pop_back();
    EXPECT_EQ(schema, database);
  }
  EXPECT_NE(std::string::npos,
            run({"list"}).out.find("  SCHEMA  database MND_A (value \"mnd_a \")\n"));
}

TEST_F(ConfigToolTest, RefusesWhatTheRunCouldNotUse) {
  const struct {
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {{"set", "S", "1", "LOGIN", k50 + "x"}, 1},
      {{"set", "S", "1", "SCHEMA", std::string(21, 's')}, 1},
      {{"set", "S", "1", "SCHEMA", ""}, 1},
      {{"set", "S", "0", "LOGIN", "x"}, 1},
      {{"set", "S", "-1", "LOGIN", "x"}, 1},
      {{"set", "S", "2147483648", "LOGIN", "x"}, 1},
      {{"set", "S", "1x", "LOGIN", "x"}, 1},
      {{"set", "", "1", "LOGIN", "x"}, 1},
      {{"set", "A;B", "1", "LOGIN", "x"}, 1},
      {{"set", "S", "1", "LO\nGIN", "x"}, 1},
      {{"set", "S", "1", "", "x"}, 1},
      {{"setup", "scott", "tiger", "host", std::string(21, 's')}, 1},
      {{"set", "S", "1", "LOGIN"}, 2},
      {{"frob"}, 2},
      {{}, 2},
      {{"--verbose", "list"}, 2},
      {{"list", "--show"}, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "" : c.args.back());
    const ToolRun result = run(c.args);
    EXPECT_EQ(c.status, result.status);
    EXPECT_EQ(0u, result.err.rfind("vestragen-config: error: ", 0));
    EXPECT_EQ(1, std::count(result.err.begin(), result.err.end(), '\n'));
    EXPECT_EQ("", result.out);
    EXPECT_FALSE(file_exists(path_));
  }
}

TEST_F(ConfigToolTest, ReplacingKeepsEveryOtherByte) {
  const std::string before = config_entry("OTHER", "1", "LOGIN", "old", "\r\n") + ";MINE;x\r\n" +
                             "02;PASS;" + encrypt_to_hex_string("old", kConfigCipherKey) + "\r\n" +
                             config_entry("MINE", "2", "PASSWORD", "keep");
  write_file(path_, before.substr(0, before.size() - 1));  // no line feed at the end
  ASSERT_EQ(0, run({"set", "MINE", "2", "PASS", "new"}).status);
  std::string expected = before.substr(0, before.size() - 1);
  const std::string old_hex = encrypt_to_hex_string("old", kConfigCipherKey);
  expected.replace(expected.rfind(old_hex), old_hex.size(),
                   encrypt_to_hex_string("new", kConfigCipherKey));
  EXPECT_EQ(expected, read_file(path_));

  ASSERT_EQ(0, run({"set", "MINE", "3", "NET8", "host"}).status);
  EXPECT_EQ(expected + "\n" + config_entry("MINE", "3", "NET8", "host"), read_file(path_));
}

TEST_F(ConfigToolTest, NewFileIsPrivateAndAnExistingOneKeepsItsMode) {
  ASSERT_EQ(0, run({"setup", "scott", "tiger", "host", "mnd"}).status);
  EXPECT_EQ(0600, file_mode(path_));
  set_file_mode(path_, 0640);
  const ToolRun set = run({"set", "VESTRAGEN", "1", "LOGIN", "adams"});
  ASSERT_EQ(0, set.status);
  EXPECT_EQ(0640, file_mode(path_));
  EXPECT_NE(std::string::npos, set.err.find("warning: " + path_ + " can be read by group"));
}

TEST_F(ConfigToolTest, MalformedFileIsLeftAlone) {
  const std::string before = config_entry("S", "1", "LOGIN", "x") + ";S;\n";
  write_file(path_, before);
  const ToolRun set = run({"set", "S", "2", "PASS", "y"});
  EXPECT_EQ(1, set.status);
  EXPECT_NE(std::string::npos, set.err.find("line 3 is a section line without a value line"));
  EXPECT_EQ(before, read_file(path_));
  EXPECT_EQ(1, run({"list"}).status);
}

TEST_F(ConfigToolTest, ListMasksThePasswordUnlessAsked) {
  ASSERT_EQ(0, run({"setup", "scott", "-", "dbhost", "mnd_a"}, "t\xFCger\n").status);
  const ToolRun masked = run({"list"});
  EXPECT_EQ(0, masked.status);
  EXPECT_EQ(std::string::npos, masked.out.find("t\\xFCger"));
  EXPECT_NE(std::string::npos, masked.out.find("key \"PASS\", value ****\n"));
  EXPECT_NE(std::string::npos, masked.out.find("  PASS    ****\n"));
  const ToolRun shown = run({"list", "--show-password"});
  EXPECT_NE(std::string::npos, shown.out.find("key \"PASS\", value \"t\\xFCger\"\n"));
  EXPECT_NE(std::string::npos, shown.out.find("  PASS    \"t\\xFCger\"\n"));
}

TEST_F(ConfigToolTest, ListTellsWhatTheRunsLookupsGet) {
  write_file(path_, config_entry("", "5", "FOO", "wide") + config_entry("S", "1", "LOGIN", "x"));
  const ToolRun wide = run({"list"});
  EXPECT_NE(std::string::npos, wide.out.find("  LOGIN   \"wide\"\n          answered by the "
                                             "entry at line 1 (section \"\", number 5, key "
                                             "\"FOO\")"));
  EXPECT_NE(std::string::npos, wide.out.find("  SCHEMA  database WID (value \"wide\")\n"));

  write_file(path_, config_entry("S", "1", "LOGIN", k50 + "x") + config_entry("S", "2", "X", ""));
  const ToolRun refused = run({"list"});
  EXPECT_NE(std::string::npos, refused.out.find("  LOGIN   the run stops: the value is 51"));
  EXPECT_NE(std::string::npos, refused.out.find("  PASS    missing: no entry answers"));
  EXPECT_NE(std::string::npos, refused.out.find("  SCHEMA  missing: no entry answers this "
                                                "lookup, so the run stops\n"));
}
