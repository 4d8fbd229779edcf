// The real window under a virtual X server, driven with xdotool as a person
// would use it: what it looks like, what a firmware on the command line
// shows, Esc, and saving through the file dialog.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "engine/PictureSlot.h"
#include "tests/support/TestSupport.h"
#include "ui/RgbPicture.h"
#include "workarea/WorkArea.h"

namespace bootlume {
namespace {

namespace fs = std::filesystem;

bool HaveGuiTools() {
  for (const char* tool : {"xvfb-run", "Xvfb", "xdotool", "xwininfo", "import", "convert"}) {
    if (!test::HaveProgram(tool)) return false;
  }
  return true;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  std::string s = text.str();
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

// A binary PPM (P6, 8 bits).
RgbPicture ReadPpm(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int width = 0, height = 0, maxValue = 0;
  in >> magic >> width >> height >> maxValue;
  in.get();
  RgbPicture picture;
  if (magic != "P6" || maxValue != 255 || width <= 0 || height <= 0) return picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.resize(static_cast<std::size_t>(width) * height * 3);
  in.read(reinterpret_cast<char*>(picture.pixels.data()), static_cast<std::streamsize>(picture.pixels.size()));
  if (!in) return RgbPicture{};
  return picture;
}

RgbPicture Crop(const RgbPicture& picture, int left, int top, int width, int height) {
  RgbPicture part;
  part.width = width;
  part.height = height;
  for (int y = top; y < top + height; ++y) {
    for (int x = left; x < left + width; ++x) {
      const std::uint8_t* p = picture.Pixel(x, y);
      part.pixels.insert(part.pixels.end(), p, p + 3);
    }
  }
  return part;
}

bool IsDark(const std::uint8_t* p) { return p[0] + p[1] + p[2] < 3 * 100; }

int DarkPixels(const RgbPicture& picture) {
  int count = 0;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) count += IsDark(picture.Pixel(x, y));
  }
  return count;
}

double Psnr(const RgbPicture& a, const RgbPicture& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) {
    const double d = static_cast<double>(a.pixels[i]) - b.pixels[i];
    sum += d * d;
  }
  const double mse = sum / static_cast<double>(a.pixels.size());
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

struct WindowRun {
  fs::path out;
  std::string title, properties, geometry, exit, saved, workDuring, drop, boxTitle, enterOpened;
  RgbPicture window, afterDrop, box, afterOpen;
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveGuiTools()) GTEST_SKIP() << "needs xvfb-run, xdotool, xwininfo and ImageMagick";
    program_ = test::BinaryDir() + "/bootlume";
    ASSERT_TRUE(fs::exists(program_));
    // Where the program keeps its work area, to see it come and go: a folder
    // of this test's own, which the program inherits.
    ::setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
    PrepareWorkArea();
    workDirectory_ = WorkDirectory().String();
    RemoveWorkArea();
    ReleaseWorkDirectory();
  }

  WindowRun Drive(const std::string& firmware, const std::vector<std::string>& environment = {}) {
    WindowRun run;
    std::vector<std::string> env = environment;
    env.push_back("WORK_DIR=" + workDirectory_);
    test::ProcessResult result;
    // xvfb-run -a takes the first display without a lock file; a test run
    // elsewhere on the machine can take the same one at the same moment, and
    // then the window finds no display. That is tried again.
    for (int attempt = 0; attempt < 3; ++attempt) {
      run.out = scratch_.Path() / ("run" + std::to_string(runs_++));
      result = test::RunProgram({"timeout", "300", "xvfb-run", "-a", "-s", "-screen 0 1024x768x24",
                                 test::SourceDir() + "/tests/ui/gui/drive-window.sh", program_, run.out.string(),
                                 firmware},
                                env);
      if (result.err.find("Can't open display") == std::string::npos) break;
    }
    EXPECT_EQ(result.status, 0) << result.err;
    run.title = ReadText(run.out / "title");
    run.geometry = ReadText(run.out / "geometry");
    run.properties = ReadText(run.out / "properties");
    run.exit = ReadText(run.out / "exit");
    run.saved = ReadText(run.out / "saved");
    run.workDuring = ReadText(run.out / "work-during");
    run.window = ReadPpm(run.out / "window.ppm");
    run.drop = ReadText(run.out / "drop");
    run.afterDrop = ReadPpm(run.out / "after-drop.ppm");
    run.boxTitle = ReadText(run.out / "box-title");
    run.enterOpened = ReadText(run.out / "enter-opened");
    run.box = ReadPpm(run.out / "box.ppm");
    run.afterOpen = ReadPpm(run.out / "after-open.ppm");
    return run;
  }

  // Runs the window and drags `data` of `type` onto it.
  WindowRun DriveWithDrop(const std::string& firmware, const std::string& type, const std::string& data) {
    return Drive(firmware,
                 {"DROP_PROGRAM=" + test::BinaryDir() + "/xdnd-drop", "DROP_TYPE=" + type, "DROP_DATA=" + data});
  }

  // A firmware whose boot picture is colourful: the build's demo image, or
  // one made here from FFmpeg's test pattern.
  std::string ColourfulFirmware() {
    const std::string demo = test::BinaryDir() + "/../samples/demo-firmware.bin";
    if (fs::exists(demo)) return demo;
    if (!test::HaveProgram("ffmpeg")) return {};
    const std::string still = scratch_ / "still.m2v";
    const int status = test::RunShell(
        "ffmpeg -loglevel error -y -f lavfi -i testsrc=size=720x576:rate=25 -frames:v 1 "
        "-c:v mpeg2video -q:v 3 -f mpeg2video '" +
        still + "'");
    if (status != 0) return {};
    ByteBuffer image;
    image.AppendRepeated(0x11, 4096);
    image.Append(test::ReadFileBytes(still));
    image.Append(ByteBuffer{0x00, 0x00, 0x01, 0xB7});
    image.AppendRepeated(0x22, 1024);
    const std::string path = scratch_ / "firmware.bin";
    test::WriteFileBytes(path, image);
    return path;
  }

  // The boot picture as FFmpeg decodes it, squeezed to the view's size.
  RgbPicture ReferencePicture(const std::string& firmware) {
    const ByteBuffer image = test::ReadFileBytes(firmware);
    const PictureSlot slot = FindPictureSlot(image);
    const std::string stream = scratch_ / "boot.mpg";
    test::WriteFileBytes(stream, ExtractPictureStream(image, slot));
    const std::string reference = scratch_ / "reference.ppm";
    test::RunShell("ffmpeg -loglevel error -y -i '" + stream + "' -frames:v 1 -vf scale=352:264 -pix_fmt rgb24 '" +
                   reference + "'");
    return ReadPpm(reference);
  }

  std::string program_;
  std::string workDirectory_;
  test::TempDirectory runtime_, scratch_;
  int runs_ = 0;
};

TEST_F(WindowTest, LooksAsDrawnAndEscClosesIt) {
  const WindowRun run = Drive("");
  EXPECT_EQ(run.title, "Bootlume1.0,Mirelo制作");
  EXPECT_EQ(run.geometry, "336 212 352 344");  // client area centred on 1024 x 768
  // Its own 64 x 64 icon; a fixed size; no minimise or maximise (Motif hints:
  // functions move and close, decorations border, title and menu).
  EXPECT_NE(run.properties.find("Icon (64 x 64)"), std::string::npos) << run.properties;
  EXPECT_NE(run.properties.find("program specified minimum size: 352 by 344"), std::string::npos) << run.properties;
  EXPECT_NE(run.properties.find("program specified maximum size: 352 by 344"), std::string::npos) << run.properties;
  EXPECT_NE(run.properties.find("_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x24, 0x1a"), std::string::npos)
      << run.properties;
  EXPECT_EQ(run.workDuring, "yes");
  EXPECT_EQ(run.exit, "0");
  EXPECT_FALSE(fs::exists(workDirectory_));
  ASSERT_EQ(run.window.width, 352);
  ASSERT_EQ(run.window.height, 344);

  // An empty view is a black rectangle.
  EXPECT_EQ(DarkPixels(Crop(run.window, 0, 0, 352, 264)), 352 * 264);
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{351, 263}, std::pair{176, 132}}) {
    const std::uint8_t* p = run.window.Pixel(x, y);
    EXPECT_EQ(p[0] + p[1] + p[2], 0) << x << "," << y;
  }

  // The label's first four characters (拖入中六) are drawn as four different
  // glyphs: a font without Chinese would draw the same box four times.
  const std::uint8_t* background = run.window.Pixel(345, 315);
  std::vector<RgbPicture> cells;
  for (int i = 0; i < 4; ++i) cells.push_back(Crop(run.window, i * 16, 264, 16, 20));
  for (int i = 0; i < 4; ++i) {
    EXPECT_GT(DarkPixels(cells[static_cast<std::size_t>(i)]), 15) << "glyph " << i;
    for (int j = i + 1; j < 4; ++j) {
      EXPECT_NE(cells[static_cast<std::size_t>(i)].pixels, cells[static_cast<std::size_t>(j)].pixels) << i << j;
    }
  }
  // The text wraps onto a second line, which ends in "Mirelo"; no box follows.
  EXPECT_GT(DarkPixels(Crop(run.window, 0, 284, 120, 20)), 40);
  EXPECT_EQ(DarkPixels(Crop(run.window, 200, 284, 152, 36)), 0);

  // Three buttons with captions, and window background in the gap between
  // "保存文件" (104..215) and "保存图片" (224..351).
  for (const auto& [left, width] : {std::pair{0, 104}, std::pair{104, 112}, std::pair{224, 128}}) {
    EXPECT_GT(DarkPixels(Crop(run.window, left + width / 4, 324, width / 2, 16)), 20) << left;
  }
  for (int x = 217; x < 223; ++x) {
    for (int y = 321; y < 343; ++y) {
      const std::uint8_t* p = run.window.Pixel(x, y);
      ASSERT_TRUE(p[0] == background[0] && p[1] == background[1] && p[2] == background[2]) << x << "," << y;
    }
  }
}

TEST_F(WindowTest, AFirmwareOnTheCommandLineShowsItsBootPicture) {
  const std::string firmware = ColourfulFirmware();
  if (firmware.empty()) GTEST_SKIP() << "no demo firmware and no ffmpeg to make one";
  const WindowRun run = Drive(firmware);
  ASSERT_EQ(run.window.width, 352);
  const RgbPicture view = Crop(run.window, 0, 0, 352, 264);
  EXPECT_LT(DarkPixels(view), 352 * 264 / 2);
  const RgbPicture reference = ReferencePicture(firmware);
  ASSERT_EQ(reference.width, 352);
  const double psnr = Psnr(view, reference);
  std::cout << "view against FFmpeg reference: " << psnr << " dB\n";
  EXPECT_GT(psnr, 20.0);
  EXPECT_EQ(run.exit, "0");
  // The picture for the documentation: this run's window, as build/screenshot.png.
  test::RunShell("convert '" + (run.out / "window.ppm").string() + "' '" + test::BinaryDir() + "/../screenshot.png'");
}

TEST_F(WindowTest, SavingTheImageThroughTheDialogWritesItUnderItsFixedName) {
  const std::string firmware = ColourfulFirmware();
  if (firmware.empty()) GTEST_SKIP() << "no demo firmware and no ffmpeg to make one";
  test::TempDirectory folder;
  const WindowRun run = Drive(firmware, {"SAVE_FOLDER=" + folder.Path().string()});
  EXPECT_EQ(run.saved, "yes");
  EXPECT_EQ(test::ReadFileBytes(folder / "已修改.BIN"), test::ReadFileBytes(firmware));
  EXPECT_FALSE(fs::exists(folder / "typed-name.bin"));
  EXPECT_EQ(run.exit, "0");
}

TEST_F(WindowTest, EnterDoesNothingWhileTabAndSpacePressTheNextButton) {
  const std::string firmware = ColourfulFirmware();
  if (firmware.empty()) GTEST_SKIP() << "no demo firmware and no ffmpeg to make one";
  test::TempDirectory folder;
  const WindowRun run = Drive(firmware, {"SAVE_FOLDER=" + folder.Path().string(), "SAVE_BY_KEYBOARD=1"});
  EXPECT_EQ(run.enterOpened, "no");
  EXPECT_EQ(run.saved, "yes");
  EXPECT_EQ(test::ReadFileBytes(folder / "已修改.BIN"), test::ReadFileBytes(firmware));
  EXPECT_EQ(run.exit, "0");
}

// A picture to choose with "打开jpg图片": broad colour bands.
std::string ChosenPicture(const test::TempDirectory& folder) {
  const std::string path = folder / "chosen.jpg";
  test::RunShell("convert -size 720x576 gradient:yellow-blue '" + path + "'");
  return path;
}

TEST_F(WindowTest, ChoosingAPictureWithoutAnImageShowsTheFailureBox) {
  test::TempDirectory folder;
  const std::string picture = ChosenPicture(folder);
  const WindowRun run =
      Drive("", {"OPEN_PICTURE=" + (folder / "我的图片.jpg"), "OPEN_PICTURE_FROM=" + picture, "OPEN_EXPECTS_BOX=1"});
  EXPECT_EQ(run.boxTitle, "提示");
  ASSERT_FALSE(run.box.empty());
  // The exclamation icon is yellow; the message is drawn in dark glyphs.
  int yellow = 0;
  for (int y = 0; y < run.box.height; ++y) {
    for (int x = 0; x < run.box.width; ++x) {
      const std::uint8_t* p = run.box.Pixel(x, y);
      yellow += p[0] > 200 && p[1] > 150 && p[2] < 80;
    }
  }
  EXPECT_GT(yellow, 100);
  EXPECT_GT(DarkPixels(run.box), 100);
  // Answered, the box is gone and the view still shows nothing.
  ASSERT_EQ(run.afterOpen.width, 352);
  EXPECT_EQ(DarkPixels(Crop(run.afterOpen, 0, 0, 352, 264)), 352 * 264);
  EXPECT_EQ(run.exit, "0");
}

TEST_F(WindowTest, ChoosingAPictureReplacesTheBootPictureBesideIt) {
  const std::string firmware = ColourfulFirmware();
  if (firmware.empty()) GTEST_SKIP() << "no demo firmware and no ffmpeg to make one";
  test::TempDirectory folder;
  const std::string picture = ChosenPicture(folder);
  const WindowRun run = Drive(firmware, {"OPEN_PICTURE=" + (folder / "new.jpg"), "OPEN_PICTURE_FROM=" + picture});
  EXPECT_TRUE(run.boxTitle.empty());
  const ByteBuffer written = test::ReadFileBytes(folder / "已修改.BIN");
  EXPECT_EQ(written.size(), test::ReadFileBytes(firmware).size());
  EXPECT_NE(written, test::ReadFileBytes(firmware));
  // The view now shows the chosen picture: yellow at the top, blue below.
  ASSERT_EQ(run.afterOpen.width, 352);
  const std::uint8_t* top = run.afterOpen.Pixel(176, 10);
  const std::uint8_t* bottom = run.afterOpen.Pixel(176, 254);
  EXPECT_GT(top[0] + top[1], 2 * 180) << int(top[0]) << "," << int(top[1]) << "," << int(top[2]);
  EXPECT_GT(bottom[2], 150) << int(bottom[0]) << "," << int(bottom[1]) << "," << int(bottom[2]);
  EXPECT_EQ(run.exit, "0");
}

// The URI of a local path, every byte outside the unreserved set escaped.
std::string FileUri(const std::string& path) {
  std::string uri = "file://";
  for (const unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
      uri += static_cast<char>(c);
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", c);
      uri += escape;
    }
  }
  return uri;
}

TEST_F(WindowTest, DroppingAFirmwareFileShowsItsBootPicture) {
  const std::string firmware = ColourfulFirmware();
  if (firmware.empty()) GTEST_SKIP() << "no demo firmware and no ffmpeg to make one";
  // A name with blanks and Chinese, as a file manager escapes it.
  const std::string dropped = scratch_ / "固件 dump.bin";
  fs::copy_file(firmware, dropped);
  const WindowRun run = DriveWithDrop("", "text/uri-list", FileUri(dropped) + "\r\n");
  EXPECT_EQ(run.drop, "accepted 1\nfinished");
  ASSERT_EQ(run.afterDrop.width, 352);
  EXPECT_GT(Psnr(Crop(run.afterDrop, 0, 0, 352, 264), ReferencePicture(firmware)), 20.0);
  EXPECT_EQ(run.exit, "0");
}

TEST_F(WindowTest, PlainTextIsRefusedAndSeveralFilesAtOnceClearTheView) {
  const std::string firmware = ColourfulFirmware();
  if (firmware.empty()) GTEST_SKIP() << "no demo firmware and no ffmpeg to make one";
  const WindowRun text = DriveWithDrop(firmware, "text/plain", FileUri(firmware));
  EXPECT_EQ(text.drop.substr(0, 10), "accepted 0");
  EXPECT_EQ(text.afterDrop.pixels, text.window.pixels);  // still the boot picture

  const WindowRun several =
      DriveWithDrop(firmware, "text/uri-list", FileUri(firmware) + "\r\n" + FileUri(firmware) + "\r\n");
  EXPECT_EQ(several.drop, "accepted 1\nfinished");
  EXPECT_LT(DarkPixels(Crop(several.window, 0, 0, 352, 264)), 352 * 264 / 2);
  EXPECT_EQ(DarkPixels(Crop(several.afterDrop, 0, 0, 352, 264)), 352 * 264);
}

}  // namespace
}  // namespace bootlume
