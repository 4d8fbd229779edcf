#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/StreamInfo.h"
#include "platform/ByteOperations.h"
#include "tests/support/TestSupport.h"

extern char** environ;

namespace bootlume {
namespace {

namespace fs = std::filesystem;

class Cli : public testing::Test {
 protected:
  // Runs bootlume-cli with its work area in this test's scratch folder.
  test::ProcessResult Run(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), test::BinaryDir() + "/bootlume-cli");
    return test::RunProgram(arguments, {"XDG_RUNTIME_DIR=" + runtime_.Path().string()});
  }
  bool WorkAreaLeftBehind() const { return fs::exists(runtime_.Path() / "bootlume"); }

  const std::string demo_ = test::DemoFirmwarePath();
  test::TempDirectory runtime_;
  test::TempDirectory out_;
};

TEST_F(Cli, InfoTellsWhereTheBootPictureLiesAndWhatItIs) {
  const ByteBuffer image = test::ReadFileBytes(demo_);
  const std::vector<PictureSlot> slots = FindAllPictureSlots(image);
  ASSERT_EQ(slots.size(), 2u);
  const test::ProcessResult json = Run({"info", demo_, "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  const std::string expectedSlot = "\"slot\": {\"offset\": " + std::to_string(slots[0].start - 1) +
                                   ", \"length\": " + std::to_string(slots[0].length) +
                                   ", \"end_code_offset\": " + std::to_string(slots[0].end - 1) + "}";
  EXPECT_NE(json.out.find(expectedSlot), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"stream\": {\"format\": \"MPEG-2\", \"width\": 720, \"height\": 576, \"frame_rate\": 25, "
                          "\"aspect_ratio\": \"4:3\", \"profile_level\": \"Main@Main\", \"chroma\": \"4:2:0\"}"),
            std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find("\"slots\": [{\"offset\": " + std::to_string(slots[0].start - 1) + ", \"length\": " +
                          std::to_string(slots[0].length) + "}, {\"offset\": " + std::to_string(slots[1].start - 1) +
                          ", \"length\": " + std::to_string(slots[1].length) + "}]"),
            std::string::npos);
  EXPECT_NE(json.out.find("\"valid\": true"), std::string::npos);
  // Well-formed JSON, by an independent parser.
  test::WriteFileBytes(out_ / "info.json", ByteBuffer::FromString(json.out));
  EXPECT_EQ(test::RunShell("python3 -m json.tool " + (out_ / "info.json") + " >/dev/null"), 0);

  const test::ProcessResult text = Run({"info", demo_});
  EXPECT_NE(text.out.find("boot picture: offset 1048576 (0x100000)"), std::string::npos) << text.out;
  EXPECT_FALSE(WorkAreaLeftBehind());
}

TEST_F(Cli, InfoOnAnImageWithoutAPictureSaysSo) {
  test::WriteFileBytes(out_ / "plain.bin", ByteBuffer{0, 0, 1, 0xB7, 0, 0, 1, 0xB3});
  const test::ProcessResult json = Run({"info", out_ / "plain.bin", "--json"});
  EXPECT_EQ(json.status, 0);
  EXPECT_NE(json.out.find("\"valid\": false"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"slots\": []"), std::string::npos);
}

TEST_F(Cli, ExtractWritesThePreviewOrTheRawStreamOfAnyStill) {
  const ByteBuffer image = test::ReadFileBytes(demo_);
  const std::vector<PictureSlot> slots = FindAllPictureSlots(image);
  ASSERT_EQ(Run({"extract", demo_, "-o", out_ / "boot.jpg"}).status, 0);
  EXPECT_EQ(test::PictureSize(out_ / "boot.jpg"), std::make_pair(720, 480));
  ASSERT_EQ(Run({"extract", demo_, "--raw", "-o", out_ / "boot.m2v"}).status, 0);
  EXPECT_EQ(test::ReadFileBytes(out_ / "boot.m2v"), ExtractPictureStream(image, slots[0]));
  ASSERT_EQ(Run({"extract", demo_, "--raw", "--slot", "2", "-o", out_ / "second.m2v"}).status, 0);
  EXPECT_EQ(test::ReadFileBytes(out_ / "second.m2v"), ExtractPictureStream(image, slots[1]));
  EXPECT_FALSE(WorkAreaLeftBehind());
}

TEST_F(Cli, ReplaceWritesTheModifiedImageWhereAsked) {
  const ByteBuffer image = test::ReadFileBytes(demo_);
  const std::vector<PictureSlot> slots = FindAllPictureSlots(image);
  const test::ProcessResult result =
      Run({"replace", demo_, test::DemoPicturePath("skyline.bmp"), "-o", out_ / "new.bin", "--ntsc"});
  ASSERT_EQ(result.status, 0) << result.err;
  const ByteBuffer written = test::ReadFileBytes(out_ / "new.bin");
  ASSERT_EQ(written.size(), image.size());
  EXPECT_EQ(MiddleBytes(written, slots[0].end + 4, image.size()), MiddleBytes(image, slots[0].end + 4, image.size()));
  const StreamInfo info = ReadStreamInfo(ExtractPictureStream(written, FindPictureSlot(written)));
  EXPECT_EQ(std::make_pair(info.width, info.height), std::make_pair(720, 480));

  // The second still, PAL, to the default name in the current directory.
  ASSERT_EQ(test::RunShell("cd " + out_.Path().string() + " && XDG_RUNTIME_DIR=" + runtime_.Path().string() + " " +
                           test::BinaryDir() + "/bootlume-cli replace " + demo_ + " " +
                           test::DemoPicturePath("testcard.bmp") + " --slot 2 >/dev/null"),
            0);
  const ByteBuffer second = test::ReadFileBytes(out_ / "已修改.BIN");
  EXPECT_EQ(MiddleBytes(second, 1, slots[1].start - 1), MiddleBytes(image, 1, slots[1].start - 1));
  EXPECT_EQ(FindAllPictureSlots(second)[1].start, slots[1].start);
  EXPECT_FALSE(WorkAreaLeftBehind());
}

TEST_F(Cli, InstancesRunningTogetherEachGetTheirOwnPicture) {
  test::WriteFileBytes(out_ / "black.bin", test::ReadFileBytes(test::SharedDir() + "/samples/black.mvi"));
  const std::string firmwares[] = {demo_, out_ / "black.bin"};
  std::string alone[2];
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(Run({"extract", firmwares[i], "-o", out_ / "alone.jpg"}).status, 0);
    alone[i] = test::ReadFileBytes(out_ / "alone.jpg").AsString();
  }
  const std::string cli = test::BinaryDir() + "/bootlume-cli";
  std::string line = "export XDG_RUNTIME_DIR=" + runtime_.Path().string() + "; for i in 1 2 3 4; do ";
  for (int i = 0; i < 2; ++i) {
    line += cli + " extract " + firmwares[i] + " -o " + (out_ / "together") + std::to_string(i) + "-$i.jpg & ";
  }
  line += "done; wait";
  ASSERT_EQ(test::RunShell(line + " >/dev/null"), 0);
  for (int i = 0; i < 2; ++i) {
    for (int run = 1; run <= 4; ++run) {
      EXPECT_EQ(
          test::ReadFileBytes(out_ / ("together" + std::to_string(i) + "-" + std::to_string(run) + ".jpg")).AsString(),
          alone[i])
          << i << " " << run;
    }
  }
  EXPECT_FALSE(WorkAreaLeftBehind());
}

TEST_F(Cli, ErrorsGetOneLineAndAStatusAndWriteNothing) {
  test::WriteFileBytes(out_ / "plain.bin", ByteBuffer{1, 2, 3});
  const struct {
    std::vector<std::string> arguments;
    int status;
    const char* message;
  } cases[] = {
      {{"info", out_ / "missing.bin"}, 1, "cannot read"},
      {{"extract", out_ / "plain.bin", "-o", out_ / "x.jpg"}, 1, "holds no boot picture"},
      {{"extract", demo_, "--slot", "3", "-o", out_ / "x.jpg"}, 1, "holds 2 still(s), not 3"},
      {{"replace", demo_, out_ / "missing.jpg", "-o", out_ / "x.bin"}, 1, "cannot read the picture"},
      {{"replace", demo_, out_ / "plain.bin", "-o", out_ / "x.bin"}, 1, "made no picture stream"},
      {{"replace", demo_, test::DemoPicturePath("skyline.bmp"), "-o", out_ / "no/dir/x.bin"}, 1, "cannot write"},
      {{"frobnicate"}, 2, "unknown command"},
      {{}, 2, "no command"},
      {{"extract", demo_}, 2, "needs -o"},
      {{"extract", demo_, "--slot", "0", "-o", "x"}, 2, "--slot takes a number"},
      {{"replace", demo_}, 2, "takes FIRMWARE and PICTURE"},
      {{"info", demo_, "--bogus"}, 2, "unknown option"},
  };
  for (const auto& c : cases) {
    const test::ProcessResult result = Run(c.arguments);
    EXPECT_EQ(result.status, c.status) << c.message;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    if (c.status == 2) {
      EXPECT_NE(result.err.find("usage:"), std::string::npos);
    }
  }
  EXPECT_FALSE(fs::exists(out_ / "x.jpg"));
  EXPECT_FALSE(fs::exists(out_ / "x.bin"));
  EXPECT_FALSE(WorkAreaLeftBehind());
  EXPECT_EQ(Run({"--help"}).status, 0);
  EXPECT_NE(Run({"--version"}).out.find("bootlume-cli "), std::string::npos);
}

TEST_F(Cli, AnInterruptRemovesTheWorkAreaAndWritesNoOutput) {
  // A large picture keeps the encoder busy long enough to be interrupted.
  const std::string picture = out_ / "large.png";
  ASSERT_EQ(test::RunShell("convert -size 3000x2000 xc:gray +noise Random " + picture), 0);
  const std::string cli = test::BinaryDir() + "/bootlume-cli";
  const std::string output = out_ / "x.bin";
  const std::string runtime = "XDG_RUNTIME_DIR=" + runtime_.Path().string();
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) env.emplace_back(*entry);
  env.push_back(runtime);
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = {cli, "replace", demo_, picture, "-o", output};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  // Its own process group, so that the interrupt reaches it and its tool as
  // Ctrl+C in a terminal would.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, cli.c_str(), nullptr, &attributes, argv.data(), envp.data()), 0);
  posix_spawnattr_destroy(&attributes);
  const fs::path copied = runtime_.Path() / "bootlume/2.JPG";
  // The picture is copied just before the encoder starts.
  for (int i = 0; i < 6000 && !fs::exists(copied); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(fs::exists(copied));
  ::kill(-child, SIGINT);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
  EXPECT_FALSE(WorkAreaLeftBehind());
  EXPECT_FALSE(fs::exists(output));
}

}  // namespace
}  // namespace bootlume
