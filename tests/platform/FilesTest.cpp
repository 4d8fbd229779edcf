#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/SystemServices.h"
#include "tests/support/TestSupport.h"

namespace bootlume {
namespace {

namespace fs = std::filesystem;
using test::TempDirectory;

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ReadWholeFile, GivesEmptyForAnythingButAReadableNonEmptyFile) {
  TempDirectory dir;
  test::WriteFileBytes(dir / "empty", {});
  test::WriteFileBytes(dir / "data", ByteBuffer{1, 2, 3});
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);  // must not block
  EXPECT_EQ(ReadWholeFile(Text(dir / "missing")), ByteBuffer());
  EXPECT_EQ(ReadWholeFile(Text(dir / "empty")), ByteBuffer());
  EXPECT_EQ(ReadWholeFile(Text(dir.Path().string())), ByteBuffer());
  EXPECT_EQ(ReadWholeFile(Text(dir / "fifo")), ByteBuffer());
  EXPECT_EQ(ReadWholeFile(Text()), ByteBuffer());
  EXPECT_EQ(ReadWholeFile(Text(dir / "data")), (ByteBuffer{1, 2, 3}));
}

TEST(WriteWholeFile, WritesExactlyTheConcatenation) {
  TempDirectory dir;
  const Text path(dir / "out.bin");
  test::WriteFileBytes(path.String(), ByteBuffer{9, 9, 9, 9, 9, 9});
  EXPECT_TRUE(WriteWholeFile(path, {ByteBuffer{1, 2}, ByteBuffer{}, ByteBuffer{3}}));
  EXPECT_EQ(test::ReadFileBytes(path.String()), (ByteBuffer{1, 2, 3}));  // old tail gone
  EXPECT_TRUE(WriteWholeFile(path, ByteBuffer{}));
  EXPECT_EQ(fs::file_size(path.String()), 0u);
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.bin"});
}

TEST(WriteWholeFile, RefusesAMissingFolderOrEmptyPathAndCreatesNothing) {
  TempDirectory dir;
  EXPECT_FALSE(WriteWholeFile(Text(dir / "no/such/out.bin"), ByteBuffer{1}));
  EXPECT_FALSE(WriteWholeFile(Text(), ByteBuffer{1}));
  EXPECT_FALSE(WriteWholeFile(Text(dir.Path().string()), ByteBuffer{1}));  // a folder
  EXPECT_TRUE(Names(dir.Path()).empty());
}

TEST(WriteWholeFile, KeepsTheOldFileWholeWhenTheDiskFillsUp) {
  TempDirectory dir;
  const std::string path = dir / "image.bin";
  const ByteBuffer old{1, 2, 3, 4};
  test::WriteFileBytes(path, old);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A file-size limit makes the write fail for real, as a full disk does.
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ByteBuffer large;
    large.AppendRepeated(0x55, 100000);
    ::_exit(WriteWholeFile(Text(path), large) ? 1 : 0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write should have reported failure";
  EXPECT_EQ(test::ReadFileBytes(path), old);
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"image.bin"});  // no temporary left
}

TEST(WriteWholeFile, KeepsAReplacedFilesModeAndMakesProgramsExecutable) {
  TempDirectory dir;
  const std::string path = dir / "keep";
  test::WriteFileBytes(path, ByteBuffer{1});
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(WriteWholeFile(Text(path), ByteBuffer{2}));
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(WriteExecutableFile(Text(dir / "tool"), ByteBuffer{'#', '!'}));
  EXPECT_NE(fs::status(dir / "tool").permissions() & fs::perms::owner_exec, fs::perms::none);
}

TEST(CopyFileTo, ReplacesTheTargetAndFailsCleanlyWithoutASource) {
  TempDirectory dir;
  test::WriteFileBytes(dir / "source", ByteBuffer{7, 8});
  test::WriteFileBytes(dir / "target", ByteBuffer{1, 2, 3, 4, 5});
  EXPECT_TRUE(CopyFileTo(Text(dir / "source"), Text(dir / "target")));
  EXPECT_EQ(test::ReadFileBytes(dir / "target"), (ByteBuffer{7, 8}));
  EXPECT_FALSE(CopyFileTo(Text(dir / "missing"), Text(dir / "target")));
  EXPECT_FALSE(CopyFileTo(Text(dir / "source"), Text(dir / "no/such/target")));
  EXPECT_EQ(test::ReadFileBytes(dir / "target"), (ByteBuffer{7, 8}));
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"source", "target"}));
}

}  // namespace
}  // namespace bootlume
