#include <gtest/gtest.h>

#include <filesystem>

#include "platform/SystemServices.h"
#include "tests/support/TestSupport.h"

namespace bootlume {
namespace {

namespace fs = std::filesystem;
using test::TempDirectory;

void Touch(const fs::path& path) { test::WriteFileBytes(path.string(), ByteBuffer{1}); }

TEST(MakeDirectory, CreatesOnlyTheLastComponentAndOnlyOnce) {
  TempDirectory dir;
  const std::string made = dir / "made";
  EXPECT_TRUE(MakeDirectory(Text(made)));
  Touch(made + "/inside");
  EXPECT_FALSE(MakeDirectory(Text(made)));  // exists: untouched
  EXPECT_TRUE(fs::exists(made + "/inside"));
  EXPECT_FALSE(MakeDirectory(Text(dir / "missing/parent")));
  EXPECT_FALSE(fs::exists(dir / "missing"));
  EXPECT_FALSE(MakeDirectory(Text()));
}

TEST(RemoveDirectoryTree, RefusesPathsThatNameNoRemovableFolder) {
  TempDirectory dir;
  Touch(dir / "keep");
  for (const char* path : {"", "   ", "/", "///", ".", "..", "./.", "no-such-folder-here"}) {
    EXPECT_FALSE(RemoveDirectoryTree(path)) << '"' << path << '"';
  }
  EXPECT_FALSE(RemoveDirectoryTree(Text(dir / ".")));
  EXPECT_TRUE(fs::exists(dir / "keep"));
}

TEST(RemoveDirectoryTree, RemovesNestedFoldersDepthFirst) {
  TempDirectory dir;
  const fs::path top = dir.Path() / "top";
  fs::create_directories(top / "a/b/c");
  Touch(top / "a/b/c/deep");
  Touch(top / "a/file");
  Touch(top / "file");
  EXPECT_TRUE(RemoveDirectoryTree(Text("  " + top.string() + "/")));  // leading blanks, trailing separator
  EXPECT_FALSE(fs::exists(top));
}

TEST(RemoveDirectoryTree, LeavesDotNamesAndTheirFolder) {
  TempDirectory dir;
  const fs::path top = dir.Path() / "top";
  fs::create_directories(top / "sub");
  Touch(top / ".hidden");
  Touch(top / "sub/file");
  Touch(top / "file");
  EXPECT_FALSE(RemoveDirectoryTree(Text(top.string())));
  EXPECT_TRUE(fs::exists(top / ".hidden"));
  EXPECT_FALSE(fs::exists(top / "sub"));
  EXPECT_FALSE(fs::exists(top / "file"));
}

TEST(RemoveDirectoryTree, RemovesLinksAsLinksAndNeverWhatTheyPointTo) {
  TempDirectory dir;
  const fs::path outside = dir.Path() / "outside";
  fs::create_directories(outside / "folder");
  Touch(outside / "precious");
  Touch(outside / "folder/precious");
  const fs::path top = dir.Path() / "top";
  fs::create_directories(top);
  fs::create_directory_symlink(outside, top / "link-to-folder");
  fs::create_symlink(outside / "precious", top / "link-to-file");
  EXPECT_TRUE(RemoveDirectoryTree(Text(top.string())));
  EXPECT_FALSE(fs::exists(top));
  EXPECT_TRUE(fs::exists(outside / "precious"));
  EXPECT_TRUE(fs::exists(outside / "folder/precious"));

  // A link given as the folder itself is not followed either.
  fs::create_directory_symlink(outside, dir.Path() / "top-link");
  EXPECT_FALSE(RemoveDirectoryTree(Text(dir / "top-link")));
  EXPECT_FALSE(RemoveDirectoryTree(Text(dir / "top-link/")));
  EXPECT_TRUE(fs::exists(outside / "precious"));
}

}  // namespace
}  // namespace bootlume
