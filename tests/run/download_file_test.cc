#include "run/download_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "db/staging.h"
#include "support/temp_dir.h"
#include "support/test_db.h"

namespace {

class DownloadFileTest : public DbTest {
 protected:
  void stage(const std::string& key, const char* record) {
    ASSERT_EQ(0, staging_insert(key.c_str(), record));
  }
  ExitStatus write(const std::string& path, bool new_file, int width, bool fixed) {
    testing::internal::CaptureStdout();
    const ExitStatus s = download_file_write(path.c_str(), new_file, width, fixed);
    out_ = testing::internal::GetCapturedStdout();
    return s;
  }
  ScopedTempDir dir_;
  std::string out_;
};

}  // namespace

TEST_F(DownloadFileTest, FixedWidthRecordsFollowOneAnotherSortedAndPadded) {
  const std::string path = dir_.file("t1.dat");
  stage(path, "B 2");
  stage(path, "A 1   ");
  stage(dir_.file("other.dat"), "C 3");
  ASSERT_EQ(kExitSuccess, write(path, true, 5, true));
  EXPECT_EQ("A 1  B 2  ", read_file(path));
  EXPECT_EQ("", out_);
}

TEST_F(DownloadFileTest, LinesAreWrittenWithCarriageReturnAndLineFeed) {
  const std::string path = dir_.file("id.txt");
  stage(path, "\"2\",\"x\"\n");
  stage(path, "\"1\",\"y\"\n");
  ASSERT_EQ(kExitSuccess, write(path, true, 0, false));
  EXPECT_EQ("\"1\",\"y\"\r\n\"2\",\"x\"\r\n", read_file(path));
}

TEST_F(DownloadFileTest, NewFileReplacesAndAppendAdds) {
  const std::string path = dir_.file("t.dat");
  write_file(path, "OLD");
  stage(path, "NEW");
  ASSERT_EQ(kExitSuccess, write(path, false, 4, true));
  EXPECT_EQ("OLDNEW ", read_file(path));
  ASSERT_EQ(kExitSuccess, write(path, true, 4, true));
  EXPECT_EQ("NEW ", read_file(path));
  EXPECT_EQ("t.dat", list_dir(dir_.path()));  // no temporary file left
}

TEST_F(DownloadFileTest, NothingStagedGivesAnEmptyNewFileAndLeavesAnAppendedOneAlone) {
  const std::string path = dir_.file("e.dat");
  write_file(path, "KEEP");
  ASSERT_EQ(kExitSuccess, write(path, false, 48, true));
  EXPECT_EQ("KEEP", read_file(path));
  ASSERT_EQ(kExitSuccess, write(dir_.file("new.dat"), false, 48, true));
  EXPECT_EQ("", read_file(dir_.file("new.dat")));
  ASSERT_EQ(kExitSuccess, write(path, true, 48, true));
  EXPECT_EQ("", read_file(path));
}

TEST_F(DownloadFileTest, NewFileGetsTheUsualModeAndAnExistingOneKeepsItsMode) {
  const std::string path = dir_.file("m.dat");
  const mode_t old_mask = ::umask(022);
  ASSERT_EQ(kExitSuccess, write(path, true, 0, true));
  struct stat st;
  ASSERT_EQ(0, ::stat(path.c_str(), &st));
  EXPECT_EQ(0644u, st.st_mode & 07777);
  ASSERT_EQ(0, ::chmod(path.c_str(), 0640));
  ASSERT_EQ(kExitSuccess, write(path, true, 0, true));
  ASSERT_EQ(0, ::stat(path.c_str(), &st));
  EXPECT_EQ(0640u, st.st_mode & 07777);
  ::umask(old_mask);
}

TEST_F(DownloadFileTest, ASymbolicLinkStaysAndItsTargetGetsTheRecords) {
  const std::string target = dir_.file("real.dat");
  const std::string link = dir_.file("link.dat");
  write_file(target, "OLD");
  std::filesystem::create_symlink(target, link);
  stage(link, "R");
  ASSERT_EQ(kExitSuccess, write(link, true, 2, true));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ("R ", read_file(target));
}

TEST_F(DownloadFileTest, PathsThatCannotBeOpenedLeaveEverythingAsItWas) {
  write_file(dir_.file("plain"), "FILE");
  std::filesystem::create_directory(dir_.file("sub"));
  const std::string paths[] = {dir_.file("missing/t.dat"), dir_.file("sub"),
                               dir_.file("plain/t.dat")};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    stage(path, "X");
    for (bool new_file : {true, false}) {
      EXPECT_EQ(kExitDownloadFile, write(path, new_file, 4, true));
      EXPECT_EQ("Downloadfile " + path + " konnte nicht geoeffnet werden!\n", out_);
    }
  }
  EXPECT_EQ("plain sub", list_dir(dir_.path()));
  EXPECT_EQ("", list_dir(dir_.file("sub")));
  EXPECT_EQ("FILE", read_file(dir_.file("plain")));
}

// A write-protected file would open for no writing; a new file renamed over it must not
// replace it either, nor through a link to it. Root may write it, so the test needs another
// user.
TEST_F(DownloadFileTest, AWriteProtectedFileIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
  const std::string file = dir_.file("ro.dat");
  const std::string link = dir_.file("link.dat");
  write_file(file, "OLD");
  set_file_mode(file, 0444);
  std::filesystem::create_symlink(file, link);
  for (const std::string& path : {file, link}) {
    SCOPED_TRACE(path);
    stage(path, "NEW");
    for (bool new_file : {true, false}) {
      SCOPED_TRACE(new_file);
      EXPECT_EQ(kExitDownloadFile, write(path, new_file, 4, true));
      EXPECT_EQ("Downloadfile " + path + " konnte nicht geoeffnet werden!\n", out_);
    }
  }
  EXPECT_EQ("OLD", read_file(file));
  EXPECT_EQ(0444, file_mode(file));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ("link.dat ro.dat", list_dir(dir_.path()));  // no temporary file left
}

TEST_F(DownloadFileTest, AFullDeviceIsReportedAsAWriteFailure) {
  stage("/dev/full", "X");
  EXPECT_EQ(kExitDownloadFile, write("/dev/full", true, 4, true));
  EXPECT_EQ("Downloadfile /dev/full konnte nicht geschrieben werden!\n", out_);
  EXPECT_EQ(kExitDownloadFile, write("/dev/full", false, 4, true));
}

TEST_F(DownloadFileTest, FailedReadBackLeavesTheFileAsItWas) {
  const std::string path = dir_.file("r.dat");
  write_file(path, "OLD");
  stage(path, "NEW");
  // The program's user may still find the rows by key but no longer read their text.
  admin().exec(
      "REVOKE SELECT ON KvBasis.Kvb999Tmp FROM 'vestragen'@'%';"
      "GRANT SELECT (TmpUsr) ON KvBasis.Kvb999Tmp TO 'vestragen'@'%';");
  const ExitStatus new_status = write(path, true, 4, true);
  const std::string new_out = out_;
  const ExitStatus append_status = write(dir_.file("fresh.dat"), false, 4, true);
  admin().exec(
      "REVOKE SELECT (TmpUsr) ON KvBasis.Kvb999Tmp FROM 'vestragen'@'%';"
      "GRANT SELECT ON KvBasis.Kvb999Tmp TO 'vestragen'@'%';");
  EXPECT_EQ(kExitDatabase, new_status);
  EXPECT_EQ("Fehler beim Lesen Tab. Kvb999Tmp! ErrNr: 1143 User: " + path + "\n", new_out);
  EXPECT_EQ(kExitDatabase, append_status);
  EXPECT_EQ("OLD", read_file(path));
  EXPECT_EQ("r.dat", list_dir(dir_.path()));  // no temporary file, no new file
}
