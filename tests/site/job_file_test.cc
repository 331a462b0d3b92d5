#include "site/job_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

std::string errors_text(const std::vector<JobFileError>& errors) {
  std::string text;
  for (const auto& e : errors)
    text += std::to_string(e.line) + ": " + e.message + "\n";
  return text;
}

}  // namespace

TEST(JobFileParse, ReadsFieldsQuotesCommentsAndCdLines) {
  const std::string text =
      "\xEF\xBB\xBF# a site\r\n"
      "\n"
      "zkdnl31p T1 out/t1.dat\r\n"
      "cd \"/srv/site 2/bin/run\"   # the second site\n"
      "IDSTAMM\t\"Tor Nord\"  \"../../out/tor nord.txt\" 0\n"
      "ZKDNL17P T\xC3\x9CR a#b.dat 1 # new\n";
  std::vector<JobFileError> errors;
  const std::vector<Job> jobs = job_file_parse(text, errors);
  EXPECT_EQ("", errors_text(errors));
  ASSERT_EQ(4u, jobs.size());
  EXPECT_EQ(3, jobs[0].line);
  EXPECT_EQ("ZKDNL31P", jobs[0].function);
  EXPECT_TRUE(jobs[0].new_file);
  EXPECT_EQ("cd", jobs[1].function);
  EXPECT_EQ("/srv/site 2/bin/run", jobs[1].path);
  EXPECT_EQ("Tor Nord", jobs[2].terminal_argument);
  EXPECT_EQ("../../out/tor nord.txt", jobs[2].path_argument);
  EXPECT_FALSE(jobs[2].new_file);
  EXPECT_EQ("T\xC3\x9CR", jobs[3].terminal);
  EXPECT_EQ("T\xDCR", jobs[3].terminal_argument);
  EXPECT_EQ("a#b.dat", jobs[3].path);
}

TEST(JobFileParse, NamesEachFaultyLine) {
  const struct {
    const char* line;
    const char* message;  // part of it
  } cases[] = {
      {"ZKDNL71P T1 t.dat", "unknown function code ZKDNL71P"},
      {"ZKDNL31P T1", "this line has 2 fields"},
      {"ZKDNL31P T1 t.dat 1 x", "this line has 5 fields"},
      {"ZKDNL31P T1 t.dat 2", "NEWFILE is 1 (a new file) or 0 (append), not 2"},
      {"ZKDNL31P T1 t.dat yes", "not yes"},
      {"ZKDNL31P \"T1 t.dat", "not closed"},
      {"ZKDNL31P \"T1\"x t.dat", "must end its field"},
      {"ZKDNL31P T\"1 t.dat", "inside a field"},
      {"ZKDNL31P \"\" t.dat", "terminal name is empty"},
      {"ZKDNL31P TERMINAL012 t.dat", ""},  // 11 characters: fine
      {"ZKDNL31P TERMINAL0123 t.dat", "longer than 11 characters"},
      {"ZKDNL31P T\xC3\x9CR4567890 t.dat", ""},  // 11 once converted
      {"ZKDNL31P T\xCE\xA9 t.dat", "has no Windows-1252 form"},
      {"ZKDNL31P T1 \xFF.dat", "has no Windows-1252 form"},
      {"cd", "one directory"},
      {"cd a b", "one directory"},
  };
  const std::string long_path = std::string(159, 'p');
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    std::vector<JobFileError> errors;
    (void)job_file_parse(std::string("# first\n") + c.line + "\n", errors);
    if (*c.message == '\0') {
      EXPECT_EQ("", errors_text(errors));
      continue;
    }
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(2, errors[0].line);
    EXPECT_NE(std::string::npos, errors[0].message.find(c.message)) << errors[0].message;
  }
  std::vector<JobFileError> errors;
  (void)job_file_parse("IDSTAMM T1 " + long_path + "\nIDSTAMM T1 " + long_path + "q\n", errors);
  ASSERT_EQ(1u, errors.size());
  EXPECT_EQ("2: the download path is longer than 159 characters\n", errors_text(errors));
}

TEST(JobFileCheck, ResolvesDirectoriesAndChainsTheJobsOfOneFile) {
  ScopedTempDir dir;
  const std::string root = dir.path();
  std::filesystem::create_directories(root + "/site/bin/run");
  std::filesystem::create_directories(root + "/site/out");
  std::filesystem::create_symlink(root + "/site/out", root + "/linked");
  const std::string text =
      "ZKDNL31P T1 site/out/a.dat\n"     // 1: the runner's own directory
      "cd site/bin/run\n"                // 2
      "ZKDNL31P T2 ../../out/a.dat 0\n"  // 3: the same file as line 1
      "IDSTAMM T1 " +
      root +
      "/linked/a.dat\n"                    // 4: the same file through a link
      "ZKDNL31P T1 ../../out/b.dat\n"      // 5: another file
      "ZKDNL31P T1 ../../nowhere/c.dat\n"  // 6: no such directory
      "ZKDNL31P T1 ../../out\n"            // 7: a directory
      "ZKDNL31P T1 ../../out/b.dat 0\n"    // 8: line 5 again
      "cd nowhere\n"                       // 9
      "ZKDNL71P T1 x.dat\n"                // 10: parse error all the same
      "ZKDNL31P T1 x.dat\n";               // 11: no directory to check it in
  std::vector<JobFileError> errors;
  const std::vector<Job> jobs = job_file_check(job_file_parse(text, errors), root, errors);
  EXPECT_EQ(
      "10: unknown function code ZKDNL71P (known: ZKDNL17P, ZKDNL18P, ZKDNL31P, ZKDNL60P, "
      "IDSTAMM)\n"
      "6: the download directory " +
          root +
          "/site/nowhere does not exist\n"
          "7: the download path ../../out is a directory\n"
          "8: the same job as line 5 (function, terminal and download file)\n"
          "9: the directory nowhere does not exist\n",
      errors_text(errors));
  ASSERT_EQ(4u, jobs.size());
  EXPECT_EQ(root + "/site/bin/run", jobs[1].directory);
  EXPECT_EQ(root + "/site/out/a.dat", jobs[0].file);
  EXPECT_EQ(-1, jobs[0].after);
  EXPECT_EQ(0, jobs[1].after);
  EXPECT_EQ(1, jobs[2].after);
  EXPECT_EQ(root + "/site/out/b.dat", jobs[3].file);
  EXPECT_EQ(-1, jobs[3].after);
}
