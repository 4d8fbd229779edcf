// The handlers driven through the component interfaces, without a window: a
// scripted file dialog, a view that records what it is given, a message box
// that records what it shows, and the real pipelines and work area.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "engine/PictureSlot.h"
#include "platform/SystemServices.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/ScriptedChooser.h"
#include "tests/ui/JpegFixtures.h"
#include "ui/Handlers.h"
#include "workarea/WorkArea.h"

namespace bootlume {
namespace {

namespace fs = std::filesystem;

class RecordingView : public PictureView {
 public:
  std::vector<ByteBuffer> writes;
  void SetPicture(ByteView bytes) override { writes.emplace_back(bytes); }
  ByteBuffer Picture() const override { return writes.empty() ? ByteBuffer() : writes.back(); }
};

using test::ScriptedChooser;

struct ShownBox {
  std::string message, title;
  std::int32_t style;
};

bool IsJpeg(const ByteBuffer& bytes) { return bytes.size() > 2 && bytes[0] == 0xFF && bytes[1] == 0xD8; }

// A firmware image: the build's demo image, or one made here from filler, an
// MPEG still with its end code, and more filler.
ByteBuffer MakeFirmware() {
  const std::string demo = test::BinaryDir() + "/../samples/demo-firmware.bin";
  if (fs::exists(demo)) return test::ReadFileBytes(demo);
  ByteBuffer still = test::ReadFileBytes(test::SharedDir() + "/samples/black.mvi");
  ByteBuffer image;
  image.AppendRepeated(0x5A, 3000);
  image.Append(still);
  image.AppendRepeated(0xA5, 2000);
  return image;
}

class HandlersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A work area of this test's own, out of the way of any other instance.
    ::setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
    start_ = fs::current_path();
    fs::current_path(programFolder_.Path());
    LoadedImage = ByteBuffer();
    SetMessageBoxPresenter([this](const Text& message, std::int32_t style, const Text& title) {
      boxes_.push_back({message.String(), title.String(), style});
      return kButtonOk;
    });
    firmwarePath_ = pictures_ / "fw.bin";
    firmware_ = MakeFirmware();
    ASSERT_TRUE(FindPictureSlot(firmware_).IsValid());
    test::WriteFileBytes(firmwarePath_, firmware_);
    picturePath_ = pictures_ / "new picture.jpg";
    test::WriteFileBytes(picturePath_, test::EncodeJpeg(test::MakePicture(320, 240,
                                                                          [](int x, int y) {
                                                                            return std::tuple{x % 256, y % 256, 128};
                                                                          }),
                                                        3));
    OnWindowCreated(form_);
  }

  void TearDown() override {
    OnWindowDestroying(form_);
    ReleaseGlobals();
    SetMessageBoxPresenter({});
    fs::current_path(start_);
  }

  std::vector<std::string> FilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path start_;
  test::TempDirectory runtime_, programFolder_, pictures_, saves_;
  std::string firmwarePath_, picturePath_;
  ByteBuffer firmware_;
  std::vector<ShownBox> boxes_;
  std::vector<WindowHandle> attached_;
  int window_ = 0;
  RecordingView view_;
  ScriptedChooser chooser_;
  FileDialog dialog_{chooser_};
  WindowDropTarget dropTarget_{[this](WindowHandle window, WindowDropTarget&) {
                                 attached_.push_back(window);
                                 return true;
                               },
                               nullptr};
  MainForm form_{&window_, view_, dialog_, dropTarget_, nullptr};
};

TEST_F(HandlersTest, CreationRegistersTheDropTargetAndPreparesTheWorkArea) {
  EXPECT_EQ(attached_, std::vector<WindowHandle>{&window_});
  EXPECT_TRUE(dropTarget_.acceptFiles);
  const std::string work = WorkDirectory().String();
  ASSERT_FALSE(work.empty());
  EXPECT_TRUE(fs::is_directory(work));
  OnWindowDestroying(form_);
  EXPECT_FALSE(fs::exists(work));
}

TEST_F(HandlersTest, SavesBeforeAnyDropWriteEmptyFilesUnderTheirOwnNames) {
  test::WriteFileBytes(saves_ / "x.jpg", ByteBuffer{1, 2, 3});
  chooser_.answers = {Text(saves_ / "typed.bin"), Text(saves_ / "x.jpg")};
  OnSaveImageClicked(form_);
  OnSavePictureClicked(form_);
  EXPECT_EQ(FilesIn(saves_.Path()), (std::vector<std::string>{"x.jpg", "图片.jpg", "已修改.BIN"}));
  EXPECT_EQ(fs::file_size(saves_ / "已修改.BIN"), 0u);
  EXPECT_EQ(fs::file_size(saves_ / "图片.jpg"), 0u);
  EXPECT_EQ(test::ReadFileBytes(saves_ / "x.jpg"), (ByteBuffer{1, 2, 3}));
  ASSERT_EQ(chooser_.requests.size(), 2u);
  EXPECT_TRUE(chooser_.requests[0].save);
  EXPECT_EQ(chooser_.requests[0].filters, (std::vector<FilterEntry>{{"数据", "*.bin"}}));
  EXPECT_EQ(chooser_.requests[1].filters, (std::vector<FilterEntry>{{"图片", ".*jpg"}}));
  EXPECT_EQ(chooser_.requests[1].initialPath, Text(saves_ / "typed.bin"));
}

TEST_F(HandlersTest, ADropLoadsTheImageAndShowsItsBootPicture) {
  OnGotFile(form_, Text(firmwarePath_));
  EXPECT_EQ(LoadedImage, firmware_);
  ASSERT_EQ(view_.writes.size(), 1u);
  EXPECT_TRUE(IsJpeg(view_.writes[0]));
  EXPECT_EQ(test::ReadFileBytes(firmwarePath_), firmware_);  // only read

  chooser_.answers = {Text(saves_ / "anything.bin")};
  OnSaveImageClicked(form_);
  EXPECT_EQ(test::ReadFileBytes(saves_ / "已修改.BIN"), firmware_);
}

TEST_F(HandlersTest, UnreadableDropsAndSeveralFilesAtOnceEmptyTheImage) {
  for (const Text& dropped : {Text(firmwarePath_ + "\r\n" + picturePath_ + "\r\n"), Text(saves_ / "missing.bin"),
                              Text(saves_.Path().string())}) {
    OnGotFile(form_, Text(firmwarePath_));
    ASSERT_EQ(LoadedImage, firmware_);
    OnGotFile(form_, dropped);
    EXPECT_TRUE(LoadedImage.empty()) << dropped.View();
    EXPECT_TRUE(view_.writes.back().empty()) << dropped.View();  // the view is cleared
  }
  chooser_.answers = {Text(saves_ / "x.bin")};
  OnSaveImageClicked(form_);
  EXPECT_EQ(fs::file_size(saves_ / "已修改.BIN"), 0u);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(HandlersTest, CancellingAnyDialogChangesNothing) {
  OnGotFile(form_, Text(firmwarePath_));
  const std::size_t writes = view_.writes.size();
  const fs::path folder = fs::current_path();
  OnOpenPictureClicked(form_);
  OnSavePictureClicked(form_);
  OnSaveImageClicked(form_);
  EXPECT_EQ(chooser_.requests.size(), 3u);
  EXPECT_EQ(LoadedImage, firmware_);
  EXPECT_EQ(view_.writes.size(), writes);
  EXPECT_EQ(fs::current_path(), folder);
  EXPECT_TRUE(FilesIn(folder).empty());
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(HandlersTest, OpeningAPictureBeforeAnyDropShowsTheFailureBox) {
  chooser_.answers = {Text(picturePath_)};
  OnOpenPictureClicked(form_);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].message, "修改开机画面失败，请重试！");
  EXPECT_EQ(boxes_[0].title, "提示");
  EXPECT_EQ(boxes_[0].style & 0xFF, 0x30);  // exclamation, OK only
  EXPECT_TRUE(view_.writes.empty());
  EXPECT_FALSE(fs::exists(pictures_ / "已修改.BIN"));
  EXPECT_EQ(chooser_.requests[0].filters, (std::vector<FilterEntry>{{"jpg", " *.jpg"}}));
  EXPECT_FALSE(chooser_.requests[0].save);
}

TEST_F(HandlersTest, AReplacementLandsBesideThePictureAndIsShownFromTheFile) {
  OnGotFile(form_, Text(firmwarePath_));
  // An earlier save dialog chose another folder; the open dialog moves on.
  chooser_.answers = {Text(saves_ / "first.bin"), Text(picturePath_), Text(saves_ / "second.bin")};
  OnSaveImageClicked(form_);
  OnOpenPictureClicked(form_);
  ASSERT_TRUE(boxes_.empty());
  const ByteBuffer written = test::ReadFileBytes(pictures_ / "已修改.BIN");
  ASSERT_FALSE(written.empty());
  EXPECT_EQ(LoadedImage, written);
  EXPECT_NE(written, firmware_);
  EXPECT_EQ(written.size(), firmware_.size());
  ASSERT_EQ(view_.writes.size(), 2u);
  EXPECT_TRUE(IsJpeg(view_.writes[1]));
  EXPECT_EQ(test::ReadFileBytes(saves_ / "已修改.BIN"), firmware_);  // the earlier save stays as it was

  // The next dialog starts from the chosen picture's path.
  OnSaveImageClicked(form_);
  EXPECT_EQ(chooser_.requests[2].initialPath, Text(picturePath_));
  // A new drop discards the modification from memory, not from disk.
  OnGotFile(form_, Text(firmwarePath_));
  EXPECT_EQ(LoadedImage, firmware_);
  EXPECT_EQ(test::ReadFileBytes(pictures_ / "已修改.BIN"), written);
}

TEST_F(HandlersTest, AFailedReplacementKeepsTheView) {
  OnGotFile(form_, Text(firmwarePath_));
  const ByteBuffer shown = view_.Picture();
  LoadedImage = ByteBuffer::FromString("an image without a boot picture");
  chooser_.answers = {Text(picturePath_)};
  OnOpenPictureClicked(form_);
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(view_.writes.size(), 1u);
  EXPECT_EQ(view_.Picture(), shown);
}

TEST_F(HandlersTest, SavePictureWritesTheViewsBytesEvenWhenTheyDoNotDecode) {
  const ByteBuffer bogus{0xFF, 0xD8, 1, 2, 3, 4, 5, 6, 7};
  view_.SetPicture(bogus);
  chooser_.answers = {Text(saves_ / "p.jpg")};
  OnSavePictureClicked(form_);
  EXPECT_EQ(test::ReadFileBytes(saves_ / "图片.jpg"), bogus);
  EXPECT_FALSE(fs::exists(saves_ / "p.jpg"));
}

TEST_F(HandlersTest, ReleaseGlobalsEmptiesTheImageAndTheWorkDirectory) {
  OnGotFile(form_, Text(firmwarePath_));
  OnWindowDestroying(form_);
  ReleaseGlobals();
  EXPECT_TRUE(LoadedImage.empty());
  EXPECT_TRUE(WorkDirectory().empty());
}

}  // namespace
}  // namespace bootlume
