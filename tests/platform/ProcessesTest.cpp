#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/SystemServices.h"
#include "tests/support/TestSupport.h"

namespace bootlume {
namespace {

namespace fs = std::filesystem;
using test::TempDirectory;

// What the children write on this process's stdout and stderr while `run`
// runs.
template <class Run>
std::string CaptureChildOutput(Run run) {
  TempDirectory dir;
  std::fflush(stdout);
  std::fflush(stderr);
  const int sink = ::open((dir / "sink").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int savedOut = ::dup(1), savedErr = ::dup(2);
  ::dup2(sink, 1);
  ::dup2(sink, 2);
  run();
  ::dup2(savedOut, 1);
  ::dup2(savedErr, 2);
  ::close(savedOut);
  ::close(savedErr);
  ::close(sink);
  return std::string(test::ReadFileBytes(dir / "sink").AsString());
}

TEST(RunCommandLine, ReportsAProgramThatCannotStartAtOnce) {
  TempDirectory dir;
  test::WriteFileBytes(dir / "not-a-program", ByteBuffer::FromString("plain data"));
  EXPECT_FALSE(RunCommandLine(Text(dir / "missing-tool -i x"), true));
  EXPECT_FALSE(RunCommandLine(Text(dir / "not-a-program"), true));
  EXPECT_FALSE(RunCommandLine("", true));
  EXPECT_FALSE(RunCommandLine("   ", false));
}

TEST(RunCommandLine, WaitsForAFailingProgramAndStillReportsItStarted) {
  TempDirectory dir;
  const std::string marker = dir / "done";
  EXPECT_TRUE(RunCommandLine(Text("sh -c \"sleep 0.2; touch " + marker + "; exit 3\""), true, kShowHidden));
  EXPECT_TRUE(fs::exists(marker)) << "returned before the program ended";
}

TEST(RunCommandLine, WithoutWaitReturnsWhileTheProgramRuns) {
  TempDirectory dir;
  const std::string marker = dir / "done";
  EXPECT_TRUE(RunCommandLine(Text("sh -c \"sleep 0.5; touch " + marker + "\""), false, kShowHidden));
  EXPECT_FALSE(fs::exists(marker));
  for (int i = 0; i < 100 && !fs::exists(marker); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(fs::exists(marker));
}

TEST(RunCommandLine, HiddenModesSilenceTheProgramAndOtherModesShowIt) {
  const Text talk = "sh -c \"echo to-out; echo to-err >&2\"";
  for (std::int32_t hidden : {1, 0, -5}) {
    EXPECT_EQ(CaptureChildOutput([&] { EXPECT_TRUE(RunCommandLine(talk, true, hidden)); }), "") << hidden;
  }
  for (std::int32_t shown : {2, 4, 6, 7, 100}) {
    EXPECT_EQ(CaptureChildOutput([&] { EXPECT_TRUE(RunCommandLine(talk, true, shown)); }), "to-out\nto-err\n") << shown;
  }
  EXPECT_EQ(CaptureChildOutput([&] { EXPECT_TRUE(RunCommandLine(talk, true)); }), "to-out\nto-err\n");
}

TEST(RunCommandLine, PassesArgumentsWithoutAShell) {
  TempDirectory dir;
  const std::string tools = dir / "my tools";
  fs::create_directories(tools);
  const std::string record = tools + "/record";
  test::WriteFileBytes(record,
                       ByteBuffer::FromString("#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"$(dirname \"$0\")/args\"\n"));
  fs::permissions(record, fs::perms::owner_all);
  EXPECT_TRUE(RunCommandLine(Text("\"" + record + "\" \"a b\" c;touch${IFS}x $(id) `id` >out"), true, kShowHidden));
  EXPECT_EQ(test::ReadFileBytes(tools + "/args").AsString(), "5|a b|c;touch${IFS}x|$(id)|`id`|>out|");
}

}  // namespace
}  // namespace bootlume
