#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/FileLock.h"
#include "platform/SystemServices.h"
#include "tests/support/TestSupport.h"
#include "workarea/EmbeddedTools.h"
#include "workarea/WorkArea.h"

namespace bootlume {
namespace {

namespace fs = std::filesystem;

// Points the host's work directory into a scratch folder for one test.
class WorkAreaTest : public testing::Test {
 protected:
  void SetUp() override { ::setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1); }
  void TearDown() override { ReleaseWorkDirectory(); }

  fs::path Folder() const { return runtime_.Path() / "bootlume"; }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Folder())) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempDirectory runtime_;
};

TEST_F(WorkAreaTest, PreparedFromNothingHoldsBothToolsByteForByte) {
  EXPECT_EQ(WorkDirectory(), Text());
  PrepareWorkArea();
  EXPECT_EQ(WorkDirectory(), Text(Folder().string() + "/"));
  EXPECT_TRUE(WorkAreaIsUsable());
  EXPECT_EQ(fs::status(Folder()).permissions(), fs::perms::owner_all);
  EXPECT_EQ(test::ReadFileBytes(Folder() / "ffmpge.exe"), ByteBuffer(DecoderToolImage()));
  EXPECT_EQ(test::ReadFileBytes(Folder() / "eempge.exe"), ByteBuffer(EncoderToolImage()));
  EXPECT_EQ(::access((Folder() / "ffmpge.exe").c_str(), X_OK), 0);
  EXPECT_EQ(::access((Folder() / "eempge.exe").c_str(), X_OK), 0);
  // The embedded images are the tools the build made.
  EXPECT_EQ(ByteBuffer(DecoderToolImage()), test::ReadFileBytes(test::BinaryDir() + "/bootlume-decode"));
  EXPECT_EQ(ByteBuffer(EncoderToolImage()), test::ReadFileBytes(test::BinaryDir() + "/bootlume-encode"));
}

TEST_F(WorkAreaTest, AnExistingFolderKeepsForeignFilesAndGetsFreshTools) {
  fs::create_directory(Folder());
  fs::permissions(Folder(), fs::perms::owner_all);
  test::WriteFileBytes(Folder() / "ffmpge.exe", ByteBuffer{1, 2, 3});
  test::WriteFileBytes(Folder() / "notes.txt", ByteBuffer{4});
  PrepareWorkArea();
  EXPECT_EQ(test::ReadFileBytes(Folder() / "ffmpge.exe"), ByteBuffer(DecoderToolImage()));
  for (const char* name : {"1.mpg", "1.jpg", "2.JPG", "2.mpg", ".2.mpg.a1B2c3"}) {
    test::WriteFileBytes(Folder() / name, ByteBuffer{9});
  }
  RemoveWorkArea();
  EXPECT_EQ(Names(), std::vector<std::string>{"notes.txt"});  // the folder stays for it
  fs::remove(Folder() / "notes.txt");
  RemoveWorkArea();
  EXPECT_FALSE(fs::exists(Folder()));
}

TEST_F(WorkAreaTest, RemovalTakesTheSystemsFilesAndTheFolder) {
  PrepareWorkArea();
  for (const char* name : {"1.mpg", "1.jpg", "2.JPG", "2.mpg"}) test::WriteFileBytes(Folder() / name, ByteBuffer{9});
  RemoveWorkArea();
  EXPECT_FALSE(fs::exists(Folder()));
}

TEST_F(WorkAreaTest, AnUnsafeExistingFolderIsLeftAloneAndNotUsed) {
  const fs::path elsewhere = runtime_.Path() / "elsewhere";
  fs::create_directory(elsewhere);
  test::WriteFileBytes(elsewhere / "1.mpg", ByteBuffer{7});
  const struct {
    const char* what;
    std::function<void()> make;
  } cases[] = {
      {"a link to another folder", [&] { fs::create_directory_symlink(elsewhere, Folder()); }},
      {"a folder others may write to",
       [&] {
         fs::create_directory(Folder());
         fs::permissions(Folder(), fs::perms::all);
         test::WriteFileBytes(Folder() / "1.mpg", ByteBuffer{7});
       }},
      {"a file", [&] { test::WriteFileBytes(Folder(), ByteBuffer{7}); }},
  };
  for (const auto& c : cases) {
    c.make();
    PrepareWorkArea();
    EXPECT_FALSE(WorkAreaIsUsable()) << c.what;
    EXPECT_FALSE(fs::exists(Folder() / "ffmpge.exe")) << c.what;
    RemoveWorkArea();
    EXPECT_TRUE(fs::exists(Folder())) << c.what;
    EXPECT_EQ(test::ReadFileBytes(elsewhere / "1.mpg"), ByteBuffer{7});
    fs::remove_all(Folder());
  }
}

TEST_F(WorkAreaTest, AFolderOwnedBySomeoneElseIsNotUsed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand the folder to another user";
  fs::create_directory(Folder());
  fs::permissions(Folder(), fs::perms::owner_all);
  ASSERT_EQ(::chown(Folder().c_str(), 65534, 65534), 0);
  PrepareWorkArea();
  EXPECT_FALSE(WorkAreaIsUsable());
  EXPECT_FALSE(fs::exists(Folder() / "eempge.exe"));
}

TEST_F(WorkAreaTest, AMissingParentBehavesLikeAMissingDrive) {
  ::setenv("XDG_RUNTIME_DIR", (runtime_.Path() / "no/such/parent").c_str(), 1);
  PrepareWorkArea();
  EXPECT_EQ(WorkDirectory(), Text((runtime_.Path() / "no/such/parent/bootlume/").string()));
  EXPECT_FALSE(WorkAreaIsUsable());
  RemoveWorkArea();  // nothing to do, nothing reported
  EXPECT_FALSE(fs::exists(runtime_.Path() / "no"));
}

TEST_F(WorkAreaTest, IsLeftToAnotherInstanceThatStillUsesIt) {
  PrepareWorkArea();
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t other = ::fork();
  ASSERT_GE(other, 0);
  if (other == 0) {  // another instance: present until told to go
    ::close(release[1]);
    const FileLock presence(Text((Folder() / ".bootlume.lock").string()), FileLock::Kind::kShared);
    char byte = presence.IsHeld() ? 1 : 0;
    [[maybe_unused]] auto wrote = ::write(ready[1], &byte, 1);
    [[maybe_unused]] auto read = ::read(release[0], &byte, 1);
    ::_exit(0);
  }
  ::close(release[0]);
  char held = 0;
  ASSERT_EQ(::read(ready[0], &held, 1), 1);
  ASSERT_EQ(held, 1);
  RemoveWorkArea();
  EXPECT_TRUE(fs::exists(Folder() / "eempge.exe"));
  ::close(release[1]);
  ::waitpid(other, nullptr, 0);
  ReleaseWorkDirectory();
  PrepareWorkArea();  // now the only one
  RemoveWorkArea();
  EXPECT_FALSE(fs::exists(Folder()));
}

TEST(HostWorkDirectory, FallsBackToAFolderOfTheUserInTmp) {
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(HostWorkDirectory(), Text("/tmp/bootlume-" + std::to_string(::geteuid()) + "/"));
  ::setenv("XDG_RUNTIME_DIR", "/run/user/1000//", 1);
  EXPECT_EQ(HostWorkDirectory(), Text("/run/user/1000/bootlume/"));
  ::setenv("XDG_RUNTIME_DIR", "relative", 1);  // not a usable setting
  EXPECT_EQ(HostWorkDirectory(), Text("/tmp/bootlume-" + std::to_string(::geteuid()) + "/"));
}

}  // namespace
}  // namespace bootlume
