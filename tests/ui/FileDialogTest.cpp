#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/TestSupport.h"
#include "tests/ui/ScriptedChooser.h"
#include "ui/FileDialog.h"
#include "ui/FilterList.h"
#include "ui/fltk/FltkFileChooser.h"

namespace bootlume {
namespace {

using Entries = std::vector<FilterEntry>;

// A literal's bytes, embedded NULs included.
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

TEST(FilterList, ConvertsFilterTexts) {
  struct Case {
    std::string filter;
    std::string list;
    Entries entries;
  };
  const std::vector<Case> cases = {
      {"jpg| *.jpg", Bytes("jpg\0 *.jpg\0\0"), {{"jpg", " *.jpg"}}},
      {"图片|.*jpg", Bytes("图片\0.*jpg\0\0"), {{"图片", ".*jpg"}}},
      {"数据|*.bin", Bytes("数据\0*.bin\0\0"), {{"数据", "*.bin"}}},
      {"*.jpg", Bytes("*.jpg\0\0"), {{"*.jpg", ""}}},
      {"a|b||", Bytes("a\0b\0\0"), {{"a", "b"}}},          // no second "||"
      {"a|b| \t\r\n", Bytes("a\0b\0\0\0"), {{"a", "b"}}},  // trailing blanks cut
      {"a|b|c|d", Bytes("a\0b\0c\0d\0\0"), {{"a", "b"}, {"c", "d"}}},
      {"a|b|c", Bytes("a\0b\0c\0\0"), {{"a", "b"}, {"c", ""}}},  // odd count
      {"a||b|c", Bytes("a\0\0b\0c\0\0"), {{"a", ""}}},           // ends at the first empty part
      {"  \t\r\n", "", {}},
      {"", "", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildFilterList(c.filter), c.list) << c.filter;
    EXPECT_EQ(FilterEntries(c.filter), c.entries) << c.filter;
  }
}

TEST(FilterList, PatternsForMatching) {
  EXPECT_EQ(MatchingPattern(" *.jpg"), "*.jpg");
  EXPECT_EQ(MatchingPattern(".*jpg"), ".*jpg");
  EXPECT_EQ(MatchingPattern("*.jpg; *.jpeg"), "{*.jpg,*.jpeg}");
  EXPECT_EQ(MatchingPattern(""), "*");
  EXPECT_EQ(MatchingPattern("  "), "*");
  EXPECT_EQ(ChooserFilter(FilterEntries("jpg| *.jpg")), "jpg\t*.jpg");
  EXPECT_EQ(ChooserFilter(FilterEntries("a|*.x|b|*.y;*.z")), "a\t*.x\nb\t{*.y,*.z}");
}

using test::ScriptedChooser;

class FileDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { start_ = std::filesystem::current_path(); }
  void TearDown() override { std::filesystem::current_path(start_); }

  std::filesystem::path start_;
  test::TempDirectory folder_;
  ScriptedChooser chooser_;
};

TEST_F(FileDialogTest, FormValuesAndTheRequestItMakes) {
  FileDialog dialog(chooser_);
  EXPECT_EQ(dialog.Kind(), kOpenDialog);
  EXPECT_EQ(dialog.Filter(), Text("*.jpg"));
  EXPECT_TRUE(dialog.FileName().empty());
  dialog.SetKind(kSaveDialog);
  dialog.SetFilter("数据|*.bin");
  EXPECT_FALSE(dialog.Open());
  ASSERT_EQ(chooser_.requests.size(), 1u);
  EXPECT_TRUE(chooser_.requests[0].save);
  EXPECT_EQ(chooser_.requests[0].filters, (Entries{{"数据", "*.bin"}}));
  EXPECT_TRUE(chooser_.requests[0].initialPath.empty());
  dialog.SetKind(7);  // anything but 1 opens
  dialog.Open();
  EXPECT_FALSE(chooser_.requests[1].save);
}

TEST_F(FileDialogTest, ConfirmingSetsTheFullPathAndMovesTheCurrentDirectory) {
  const std::filesystem::path sub = folder_.Path() / "图片 folder";
  std::filesystem::create_directory(sub);
  test::WriteFileBytes((sub / "p.jpg").string(), ByteBuffer{1, 2, 3});
  FileDialog dialog(chooser_);
  chooser_.answers.push_back(Text((sub / "p.jpg").string()));
  ASSERT_TRUE(dialog.Open());
  EXPECT_EQ(dialog.FileName(), Text((sub / "p.jpg").string()));
  EXPECT_EQ(std::filesystem::current_path(), sub);

  // The next dialog, of either kind, starts from that path; a save name need
  // not exist, and a relative answer resolves against the current directory.
  dialog.SetKind(kSaveDialog);
  chooser_.answers.push_back(Text("../new.bin"));
  ASSERT_TRUE(dialog.Open());
  EXPECT_EQ(chooser_.requests[1].initialPath, Text((sub / "p.jpg").string()));
  EXPECT_EQ(dialog.FileName(), Text((folder_.Path() / "new.bin").string()));
  EXPECT_EQ(std::filesystem::current_path(), folder_.Path());
}

TEST_F(FileDialogTest, CancelAndFailuresChangeNothing) {
  test::WriteFileBytes(folder_ / "p.jpg", ByteBuffer{1});
  FileDialog dialog(chooser_, kOpenDialog, "jpg| *.jpg", Text(folder_ / "p.jpg"));
  const std::filesystem::path before = std::filesystem::current_path();
  chooser_.answers = {std::nullopt,                          // cancel
                      Text(folder_ / "missing.jpg"),         // open: must exist
                      Text(folder_.Path().string()),         // a folder is no file
                      Text(folder_ / "no-such-dir/x.jpg")};  // folder must exist
  for (int i = 0; i < 4; ++i) {
    EXPECT_FALSE(dialog.Open()) << i;
    EXPECT_EQ(dialog.FileName(), Text(folder_ / "p.jpg")) << i;
    EXPECT_EQ(std::filesystem::current_path(), before) << i;
  }
  dialog.SetKind(kSaveDialog);
  chooser_.answers = {Text(folder_ / "no-such-dir/x.bin")};
  EXPECT_FALSE(dialog.Open());
  EXPECT_EQ(std::filesystem::current_path(), before);
}

}  // namespace
}  // namespace bootlume
