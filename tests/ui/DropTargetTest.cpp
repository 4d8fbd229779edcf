#include <gtest/gtest.h>

#include <set>

#include "ui/DropEffect.h"
#include "ui/DropText.h"
#include "ui/WindowDropTarget.h"

namespace bootlume {
namespace {

TEST(DropText, UriListsBecomeLocalPaths) {
  struct Case {
    const char* name;
    std::string list;
    std::vector<Text> paths;
  };
  const std::vector<Case> cases = {
      {"one file", "file:///home/u/fw.bin\r\n", {"/home/u/fw.bin"}},
      {"no final line break", "file:///a", {"/a"}},
      {"LF only and order kept", "file:///b\nfile:///a\nfile:///c\n", {"/b", "/a", "/c"}},
      {"percent-decoded UTF-8 and blanks", "file:///tmp/%E5%9B%BE%E7%89%87%20x.bin\r\n", {"/tmp/图片 x.bin"}},
      {"percent sign kept when not an escape", "file:///a%2x%%41", {"/a%2x%A"}},
      {"localhost and this host", "file://localhost/a\r\nfile://box/b\r\nfile://other/c\r\n", {"/a", "/b"}},
      {"short form", "file:/a/b", {"/a/b"}},
      {"scheme in capitals", "FILE:///a", {"/a"}},
      {"comments and other schemes skipped", "# comment\r\nhttp://x/y\r\nfile:///z\r\n\r\n", {"/z"}},
      {"encoded NUL refused", "file:///a%00b\r\nfile:///c", {"/c"}},
      {"no path", "file://host", {}},
      {"plain path is no URI", "/home/u/fw.bin", {}},
      {"empty", "", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LocalPathsFromUriList(c.list, "box"), c.paths) << c.name;
  }
}

TEST(DropText, OnePathAloneSeveralEachFollowedByCrLf) {
  EXPECT_EQ(DroppedFilesText({"/a/b.bin"}), Text("/a/b.bin"));
  EXPECT_EQ(DroppedFilesText({"/a", "/b", "/c"}), Text("/a\r\n/b\r\n/c\r\n"));
  EXPECT_FALSE(DroppedFilesText({}));
}

TEST(DropEffect, FromAllowedEffectsAndKeys) {
  const unsigned all = kDropCopy | kDropMove | kDropLink;
  struct Case {
    unsigned allowed;
    DropKeys keys;
    DropEffect effect;
  };
  const std::vector<Case> cases = {
      {all, {}, kDropCopy},
      {kDropMove | kDropLink, {}, kDropMove},
      {kDropLink, {}, kDropLink},
      {kDropNone, {}, kDropNone},
      {all, {true, false}, kDropMove},
      {kDropCopy, {true, false}, kDropNone},
      {all, {false, true}, kDropCopy},
      {kDropMove, {false, true}, kDropNone},
      {all, {true, true}, kDropNone},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseDropEffect(c.allowed, c.keys), c.effect)
        << c.allowed << " shift " << c.keys.shift << " ctrl " << c.keys.control;
  }
}

class FakeDrag : public DragData {
 public:
  std::set<DropFormat> offered;
  std::vector<Text> files;
  int fetches = 0;
  bool Offers(DropFormat format) const override { return offered.count(format) != 0; }
  std::optional<Text> FetchText(DropFormat) override { return Text("text"); }
  std::optional<std::vector<Text>> FetchFiles() override {
    ++fetches;
    return files;
  }
};

class DropTargetTest : public ::testing::Test {
 protected:
  DropTargetTest()
      : target_(
            [this](WindowHandle window, WindowDropTarget&) {
              attached_.push_back(window);
              return attachResult_;
            },
            [this](WindowHandle window) { detached_.push_back(window); }) {
    target_.gotFile = [this](const Text& text) { got_.push_back(text); };
    files_.offered = {DropFormat::kFiles, DropFormat::kText};
    files_.files = {"/x/fw.bin"};
  }

  bool attachResult_ = true;
  std::vector<WindowHandle> attached_, detached_;
  std::vector<Text> got_;
  WindowDropTarget target_;
  FakeDrag files_;
  int window_ = 0;
};

TEST_F(DropTargetTest, OnlyTheFirstRegisterActs) {
  EXPECT_TRUE(target_.Register(&window_));
  EXPECT_FALSE(target_.Register(&window_));
  EXPECT_EQ(attached_, std::vector<WindowHandle>{&window_});
  target_.Revoke();
  target_.Revoke();
  EXPECT_EQ(detached_, std::vector<WindowHandle>{&window_});
}

TEST_F(DropTargetTest, RefusedRegistrationStaysRefused) {
  attachResult_ = false;
  EXPECT_FALSE(target_.Register(&window_));
  attachResult_ = true;
  EXPECT_FALSE(target_.Register(&window_));
  EXPECT_EQ(attached_.size(), 1u);
  target_.Revoke();
  EXPECT_TRUE(detached_.empty());
}

TEST_F(DropTargetTest, FileDropsRaiseOneEventPerDrop) {
  target_.acceptFiles = true;
  EXPECT_EQ(target_.DragEnter(files_, kDropCopy, {}), kDropCopy);
  EXPECT_EQ(target_.Drop(files_, kDropCopy, {}), kDropCopy);
  files_.files = {"/a", "/b c", "/d"};
  target_.Drop(files_, kDropCopy | kDropMove, {});
  files_.files = {"/some/folder"};
  target_.Drop(files_, kDropMove, {true, false});
  EXPECT_EQ(got_, (std::vector<Text>{"/x/fw.bin", "/a\r\n/b c\r\n/d\r\n", "/some/folder"}));
}

TEST_F(DropTargetTest, NothingIsRaisedWithoutFilesOrEffect) {
  // Files not switched on yet: nothing is accepted.
  EXPECT_EQ(target_.DragEnter(files_, kDropCopy, {}), kDropNone);
  EXPECT_EQ(target_.Drop(files_, kDropCopy, {}), kDropNone);
  target_.acceptFiles = true;

  FakeDrag text;
  text.offered = {DropFormat::kText};
  EXPECT_EQ(target_.DragEnter(text, kDropCopy, {}), kDropNone);
  EXPECT_FALSE(target_.DragAccepted());
  EXPECT_EQ(target_.DragOver(kDropCopy, {}), kDropNone);
  target_.Drop(text, kDropCopy, {});

  EXPECT_EQ(target_.Drop(files_, kDropCopy | kDropMove, {true, true}), kDropNone);  // Ctrl+Shift
  EXPECT_EQ(target_.Drop(files_, kDropCopy, {true, false}), kDropNone);             // Shift, move not allowed
  files_.files = {};
  target_.Drop(files_, kDropCopy, {});  // a list that names no local file
  EXPECT_TRUE(got_.empty());
  EXPECT_EQ(files_.fetches, 1);  // only the drop that had an effect fetched
}

TEST_F(DropTargetTest, DragFeedbackFollowsTheKeys) {
  target_.acceptFiles = true;
  EXPECT_EQ(target_.DragEnter(files_, kDropCopy | kDropMove, {}), kDropCopy);
  EXPECT_EQ(target_.DragOver(kDropCopy | kDropMove, {true, false}), kDropMove);
  EXPECT_EQ(target_.DragOver(kDropCopy | kDropMove, {false, true}), kDropCopy);
  EXPECT_EQ(target_.DragOver(kDropCopy | kDropMove, {true, true}), kDropNone);
  target_.DragLeave();
  EXPECT_FALSE(target_.DragAccepted());
  EXPECT_EQ(target_.DragOver(kDropCopy, {}), kDropNone);
}

}  // namespace
}  // namespace bootlume
