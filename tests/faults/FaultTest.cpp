// Real faults, not stand-ins for them wherever the host allows: a file-size
// limit and a full disk while files are written, tools killed with SIGKILL
// or leaving something that is not a stream, the work directory removed or
// read-only between operations, and a firmware file that changes or goes
// after it was dropped. In every case nothing is lost: the earlier file stays
// whole, no temporary file is left, the loaded image is untouched unless the
// splice was done, and nothing is written that should not be.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <tuple>

#include "engine/PreviewPipeline.h"
#include "engine/ReplacementPipeline.h"
#include "platform/ByteOperations.h"
#include "platform/SystemServices.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/ScriptedChooser.h"
#include "tests/ui/JpegFixtures.h"
#include "ui/Handlers.h"
#include "workarea/WorkArea.h"

namespace bootlume {
namespace {

namespace fs = std::filesystem;

constexpr const char* kOutput = "已修改.BIN";
constexpr const char* kSavedPicture = "图片.jpg";
constexpr const char* kSkip = "SKIP: ";
constexpr uid_t kNobody = 65534;

// Runs `body` in a child process; what it returns comes back (empty when all
// went well). A child that did not end normally gives a text that says so.
std::string InChild(const std::function<std::string()>& body) {
  int pipe[2];
  if (::pipe(pipe) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child < 0) return "no fork";
  if (child == 0) {
    ::close(pipe[0]);
    const std::string report = body();
    const ssize_t written = ::write(pipe[1], report.data(), report.size());
    ::_exit(written == static_cast<ssize_t>(report.size()) ? 0 : 1);
  }
  ::close(pipe[1]);
  std::string report;
  char chunk[512];
  for (ssize_t got; (got = ::read(pipe[0], chunk, sizeof chunk)) > 0;) report.append(chunk, static_cast<std::size_t>(got));
  ::close(pipe[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status)) return "the child was killed by signal " + std::to_string(WTERMSIG(status)) + "; " + report;
  return report;
}

// A file-size limit as `ulimit -f` sets it. SIGXFSZ is ignored here (the test
// process must live to report); the programs started meanwhile get the
// signal's default, as from a shell.
void LimitFileSize(rlim_t bytes) {
  ::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{bytes, bytes};
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

// Runs a program under a file-size limit; its wait status.
int RunUnderFileSizeLimit(const std::vector<std::string>& arguments, rlim_t bytes) {
  const pid_t child = ::fork();
  if (child == 0) {
    const rlimit limit{bytes, bytes};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, SIG_DFL);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return status;
}

std::vector<std::string> NamesIn(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Temporary files of an interrupted atomic write of `name`: ".name.XXXXXX".
std::string TemporariesOf(const fs::path& folder, const std::string& name) {
  std::string found;
  for (const std::string& entry : NamesIn(folder)) {
    if (entry.starts_with("." + name + ".")) found += entry + " ";
  }
  return found;
}

std::string Check(bool ok, const std::string& what) { return ok ? std::string() : what + "; "; }

class RecordingView : public PictureView {
 public:
  ByteBuffer held;
  void SetPicture(ByteView bytes) override { held = ByteBuffer(bytes); }
  ByteBuffer Picture() const override { return held; }
};

using test::ScriptedChooser;

class Faults : public testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
    PrepareWorkArea();
    ASSERT_TRUE(WorkAreaIsUsable());
    previous_ = fs::current_path();
    fs::current_path(cwd_.Path());
    demo_ = test::ReadFileBytes(test::DemoFirmwarePath());
    ASSERT_TRUE(FindPictureSlot(demo_).IsValid());
    picture_ = cwd_ / "small picture.jpg";
    test::WriteFileBytes(picture_, test::EncodeJpeg(test::MakePicture(64, 48,
                                                                      [](int x, int y) {
                                                                        return std::tuple{x * 4, y * 5, (x ^ y) * 4};
                                                                      }),
                                                    3, 85));
    LoadedImage = ByteBuffer();
  }
  void TearDown() override {
    fs::current_path(previous_);
    RemoveWorkArea();
    ReleaseWorkDirectory();
    LoadedImage = ByteBuffer();
  }

  std::string Work(const char* name) const { return WorkFile(name).String(); }

  // A 1 MiB firmware whose boot picture is a stream of at most `budget` bytes.
  ByteBuffer SmallSlotFirmware(int budget) {
    const std::string stream = cwd_ / "small.m2v";
    const test::ProcessResult encoded = test::RunProgram(
        {test::BinaryDir() + "/bootlume-encode", "-p", "-f", picture_, "-o", stream, "-s", std::to_string(budget)});
    EXPECT_EQ(encoded.status, 0) << encoded.err;
    ByteBuffer image;
    image.AppendRepeated(0x5A, 300000);
    image.Append(test::ReadFileBytes(stream));
    image.AppendRepeated(0xA5, (1 << 20) - image.size());
    return image;
  }

  // Puts a shell script in place of a tool of the work area; the real tool
  // stays beside it as "real-<name>".
  void ReplaceTool(const char* name, const std::string& script) {
    fs::copy_file(Work(name), Work(("real-" + std::string(name)).c_str()), fs::copy_options::overwrite_existing);
    test::WriteFileBytes(Work(name), ByteBuffer::FromString("#!/bin/sh\n" + script));
    fs::permissions(Work(name), fs::perms::owner_all);
  }

  test::TempDirectory runtime_, cwd_;
  fs::path previous_;
  ByteBuffer demo_;
  std::string picture_;
};

TEST_F(Faults, AFileSizeLimitKeepsTheEarlierFileWholeAndLeavesNoTemporary) {
  const ByteBuffer firmware = SmallSlotFirmware(8000);
  ASSERT_TRUE(FindPictureSlot(firmware).IsValid());
  const ByteBuffer earlier = ByteBuffer::FromString("the earlier file");
  test::TempDirectory saves;
  RecordingView view;
  ScriptedChooser chooser;
  FileDialog dialog(chooser);
  WindowDropTarget dropTarget([](WindowHandle, WindowDropTarget&) { return true; }, nullptr);
  MainForm form{nullptr, view, dialog, dropTarget, nullptr};

  const struct {
    const char* what;
    std::string target;
    std::function<std::string()> write;  // in the limited child: what went wrong
  } cases[] = {
      {"已修改.BIN by the replacement", cwd_ / kOutput,
       [&] {
         ByteBuffer image = firmware;
         return Check(ReplaceSlotPicture(image, FindPictureSlot(image), Text(picture_), {}) ==
                          ReplacementError::kCannotWrite,
                      "the replacement did not fail at its write");
       }},
      {"已修改.BIN by 保存文件", saves / kOutput,
       [&] {
         LoadedImage = demo_;
         chooser.answers = {Text(saves / "any.bin")};
         OnSaveImageClicked(form);
         return std::string();
       }},
      {"图片.jpg by 保存图片", saves / kSavedPicture,
       [&] {
         view.held = demo_;  // whatever the view holds, byte for byte
         chooser.answers = {Text(saves / "x.jpg")};
         OnSavePictureClicked(form);
         return std::string();
       }},
      {"a tool file", Work(kDecoderToolName),
       [&] {
         PrepareWorkArea();
         return std::string();
       }},
  };
  for (const auto& c : cases) {
    test::WriteFileBytes(c.target, earlier);
    const std::string report = InChild([&] {
      LimitFileSize(64 << 10);
      return c.write();
    });
    EXPECT_EQ(report, "") << c.what;
    EXPECT_EQ(test::ReadFileBytes(c.target), earlier) << c.what;
    const fs::path target(c.target);
    EXPECT_EQ(TemporariesOf(target.parent_path(), target.filename().string()), "") << c.what;
  }
}

TEST_F(Faults, AToolThatReachesAFileSizeLimitFailsWithoutLeavingATemporary) {
  const std::string stream = cwd_ / "stream.m2v";
  test::WriteFileBytes(stream, ExtractPictureStream(demo_, FindPictureSlot(demo_)));
  const ByteBuffer earlier = ByteBuffer::FromString("earlier output");
  const struct {
    const char* what;
    std::vector<std::string> line;
    std::string output;
  } cases[] = {
      {"encoder", {test::BinaryDir() + "/bootlume-encode", "-p", "-f", picture_, "-o", cwd_ / "out.mpg", "-s", "60000"},
       cwd_ / "out.mpg"},
      {"decoder",
       {test::BinaryDir() + "/bootlume-decode", "-i", stream, "-y", "-f", "image2", "-t", "0.001", "-s", "720x480",
        cwd_ / "out.jpg"},
       cwd_ / "out.jpg"},
  };
  for (const auto& c : cases) {
    test::WriteFileBytes(c.output, earlier);
    const int status = RunUnderFileSizeLimit(c.line, 4096);
    EXPECT_TRUE(WIFEXITED(status)) << c.what << " was killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 1) << c.what;
    EXPECT_EQ(test::ReadFileBytes(c.output), earlier) << c.what;
    EXPECT_EQ(TemporariesOf(cwd_.Path(), fs::path(c.output).filename().string()), "") << c.what;
  }

  // The same through the replacement: its encoder cannot write its stream.
  const std::string report = InChild([&] {
    LimitFileSize(4096);
    ByteBuffer image = demo_;
    const ReplacementError error = ReplaceSlotPicture(image, FindPictureSlot(image), Text(picture_), {});
    return Check(error == ReplacementError::kNoStream, "the replacement gave error " +
                                                           std::to_string(static_cast<int>(error))) +
           Check(image == demo_, "the image changed") + Check(!fs::exists(cwd_ / kOutput), "an image was written") +
           Check(TemporariesOf(WorkDirectory().String(), kReplacementStreamName).empty(), "a temporary was left");
  });
  EXPECT_EQ(report, "");
}

TEST_F(Faults, AFullDiskKeepsTheEarlierImageWhole) {
  const ByteBuffer earlier = ByteBuffer::FromString("the earlier image");
  const std::string report = InChild([&]() -> std::string {
    // A small file system of our own, in a mount namespace of this child.
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", cwd_.Path().c_str(), "tmpfs", 0, "size=256k") != 0) {
      return std::string(kSkip) + "no private mount namespace here (needs CAP_SYS_ADMIN)";
    }
    const fs::path folder = cwd_.Path();
    fs::current_path(folder);
    test::WriteFileBytes(folder / kOutput, earlier);
    const std::string picture = folder / "picture.jpg";
    test::WriteFileBytes(picture, test::EncodeJpeg(test::MakePicture(32, 32, [](int x, int y) {
                                                     return std::tuple{x * 8, y * 8, 100};
                                                   }),
                                                   3));
    ByteBuffer image = demo_;  // 4 MiB: more than the disk holds
    const ReplacementError error = ReplaceSlotPicture(image, FindPictureSlot(image), Text(picture), {});
    return Check(error == ReplacementError::kCannotWrite, "the write did not fail") +
           Check(test::ReadFileBytes(folder / kOutput) == earlier, "the earlier image was damaged") +
           Check(TemporariesOf(folder, kOutput).empty(), "a temporary was left");
  });
  if (report.starts_with(kSkip)) GTEST_SKIP() << report;
  EXPECT_EQ(report, "");
}

TEST_F(Faults, AToolKilledMidRunChangesNothing) {
  const struct {
    const char* what;
    std::string encoder;
  } cases[] = {
      // A careless tool: half a stream written in place, then killed.
      {"half a stream, then SIGKILL",
       "while [ $# -gt 0 ]; do [ \"$1\" = -o ] && out=$2; shift; done\n"
       "head -c 3000 \"$(dirname \"$0\")/stream.m2v\" >\"$out\"\necho 137 >\"$(dirname \"$0\")/status\"\nkill -KILL $$\n"},
      // Our encoder, stopped as soon as it started and killed.
      {"the real encoder, killed",
       "\"$(dirname \"$0\")/real-eempge.exe\" \"$@\" & pid=$!\nkill -STOP $pid\nsleep 0.2\nkill -KILL $pid\n"
       "wait $pid; echo $? >\"$(dirname \"$0\")/status\"\n"},
  };
  test::WriteFileBytes(Work("stream.m2v"), ExtractPictureStream(demo_, FindPictureSlot(demo_)));
  for (const auto& c : cases) {
    ReplaceTool(kEncoderToolName, c.encoder);
    ByteBuffer image = demo_;
    const ReplacementError error = ReplaceSlotPicture(image, FindPictureSlot(image), Text(picture_), {});
    EXPECT_NE(error, ReplacementError::kNone) << c.what;
    EXPECT_EQ(image, demo_) << c.what;
    EXPECT_FALSE(fs::exists(cwd_ / kOutput)) << c.what;
    EXPECT_EQ(test::ReadFileBytes(Work("status")), ByteBuffer::FromString("137\n")) << c.what << ": not killed";
    fs::copy_file(Work("real-eempge.exe"), Work(kEncoderToolName), fs::copy_options::overwrite_existing);
  }

  ReplaceTool(kDecoderToolName,
              "\"$(dirname \"$0\")/real-ffmpge.exe\" \"$@\" & pid=$!\nkill -STOP $pid\nkill -KILL $pid\n"
              "wait $pid; echo $? >\"$(dirname \"$0\")/status\"\n");
  const Preview preview = PreviewSlotPicture(demo_, FindPictureSlot(demo_));
  EXPECT_EQ(preview.error, PreviewError::kDecoderGaveNoPicture);
  EXPECT_TRUE(preview.jpeg.empty());
  EXPECT_EQ(test::ReadFileBytes(Work("status")), ByteBuffer::FromString("137\n"));
}

TEST_F(Faults, AToolThatLeavesSomethingOtherThanAStreamIsRefused) {
  const PictureSlot slot = FindPictureSlot(demo_);
  const std::string findOutput = "while [ $# -gt 0 ]; do [ \"$1\" = -o ] && out=$2; shift; done\n";
  const struct {
    const char* what;
    std::string script;
  } cases[] = {
      {"a folder", findOutput + "mkdir \"$out\"\n"},
      {"a named pipe", findOutput + "mkfifo \"$out\"\n"},
      {"a link to the firmware", findOutput + "ln -s \"" + test::DemoFirmwarePath() + "\" \"$out\"\n"},
      {"nothing, exit 0", "exit 0\n"},
  };
  for (const auto& c : cases) {
    fs::remove_all(Work(kReplacementStreamName));
    ReplaceTool(kEncoderToolName, c.script);
    ByteBuffer image = demo_;
    EXPECT_NE(ReplaceSlotPicture(image, slot, Text(picture_), {}), ReplacementError::kNone) << c.what;
    EXPECT_EQ(image, demo_) << c.what;
    EXPECT_FALSE(fs::exists(cwd_ / kOutput)) << c.what;
  }
  fs::remove_all(Work(kReplacementStreamName));
}

TEST_F(Faults, AWorkDirectoryRemovedOrSwappedBetweenOperationsIsNotUsed) {
  const PictureSlot slot = FindPictureSlot(demo_);
  ASSERT_EQ(PreviewSlotPicture(demo_, slot).error, PreviewError::kNone);
  const std::string folder = WorkDirectory().String();
  test::TempDirectory elsewhere;
  const struct {
    const char* what;
    std::function<void()> fault;
  } cases[] = {
      {"removed", [&] { fs::remove_all(folder); }},
      {"a link to another folder",
       [&] { fs::create_directory_symlink(elsewhere.Path(), fs::path(folder).parent_path()); }},
      {"open to others", [&] {
         fs::create_directory(folder);
         fs::permissions(folder, fs::perms::all);
       }},
  };
  for (const auto& c : cases) {
    fs::remove_all(fs::path(folder).parent_path());
    c.fault();
    EXPECT_TRUE(PreviewBootPicture(demo_).empty()) << c.what;
    ByteBuffer image = demo_;
    EXPECT_EQ(ReplaceSlotPicture(image, slot, Text(picture_), {}), ReplacementError::kWorkAreaUnusable) << c.what;
    EXPECT_EQ(image, demo_) << c.what;
    EXPECT_FALSE(fs::exists(cwd_ / kOutput)) << c.what;
    EXPECT_EQ(NamesIn(elsewhere.Path()), std::vector<std::string>()) << c.what;
  }
  fs::remove_all(fs::path(folder).parent_path());
}

TEST_F(Faults, AReadOnlyWorkDirectoryOrOutputFolderChangesNothing) {
  // Permissions bind only users other than root: as root, the child becomes
  // nobody, in folders of its own.
  test::TempDirectory home;
  const fs::path runtime = home.Path() / "runtime", folder = home.Path() / "pictures";
  fs::create_directories(runtime);
  fs::create_directories(folder);
  fs::permissions(home.Path(), fs::perms::owner_all | fs::perms::others_exec);
  const ByteBuffer picture = test::ReadFileBytes(picture_);
  const std::string report = InChild([&]() -> std::string {
    if (::geteuid() == 0) {
      if (::chown(runtime.c_str(), kNobody, kNobody) != 0 || ::chown(folder.c_str(), kNobody, kNobody) != 0 ||
          ::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
        return std::string(kSkip) + "cannot become the user nobody";
      }
    }
    ReleaseWorkDirectory();
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    PrepareWorkArea();
    fs::current_path(folder);
    test::WriteFileBytes(folder / "picture.jpg", picture);
    const Text chosen((folder / "picture.jpg").string());
    const fs::path work = WorkDirectory().String();
    std::string problems = Check(PreviewSlotPicture(demo_, FindPictureSlot(demo_)).error == PreviewError::kNone,
                                 "the first preview failed");

    // The work directory read-only: the preview must not return the picture
    // of the earlier one, which it cannot remove.
    fs::permissions(work, fs::perms::owner_read | fs::perms::owner_exec);
    ByteBuffer image = demo_;
    problems += Check(PreviewBootPicture(demo_).empty(), "a preview came from a read-only work directory");
    problems += Check(ReplaceSlotPicture(image, FindPictureSlot(image), chosen, {}) ==
                          ReplacementError::kCannotCopyPicture,
                      "the replacement did not fail at its copy");
    problems += Check(image == demo_, "the image changed") + Check(!fs::exists(folder / kOutput), "an image was written");
    fs::permissions(work, fs::perms::owner_all);

    // The output folder read-only: the earlier image stays whole.
    test::WriteFileBytes(folder / kOutput, ByteBuffer::FromString("earlier"));
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    problems += Check(ReplaceSlotPicture(image, FindPictureSlot(image), chosen, {}) == ReplacementError::kCannotWrite,
                      "the replacement did not fail at its write");
    problems += Check(test::ReadFileBytes(folder / kOutput) == ByteBuffer::FromString("earlier"),
                      "the earlier image changed");
    fs::permissions(folder, fs::perms::owner_all);
    problems += Check(TemporariesOf(folder, kOutput).empty(), "a temporary was left");
    RemoveWorkArea();
    problems += Check(!fs::exists(work), "the work area was not removed");
    return problems;
  });
  if (report.starts_with(kSkip)) GTEST_SKIP() << report;
  EXPECT_EQ(report, "");
}

TEST_F(Faults, TheLoadedImageIsWhatIsSavedAfterItsFileChangedOrWent) {
  RecordingView view;
  ScriptedChooser chooser;
  FileDialog dialog(chooser);
  WindowDropTarget dropTarget([](WindowHandle, WindowDropTarget&) { return true; }, nullptr);
  MainForm form{nullptr, view, dialog, dropTarget, nullptr};
  const PictureSlot slot = FindPictureSlot(demo_);
  test::TempDirectory drops, saves;
  const std::string firmware = drops / "fw.bin";
  const struct {
    const char* what;
    std::function<void()> change;
  } cases[] = {
      {"overwritten", [&] { test::WriteFileBytes(firmware, ByteBuffer::FromString("something else")); }},
      {"cut short", [&] { fs::resize_file(firmware, 1000); }},
      {"removed", [&] { fs::remove(firmware); }},
  };
  for (const auto& c : cases) {
    test::WriteFileBytes(firmware, demo_);
    OnGotFile(form, Text(firmware));
    ASSERT_FALSE(view.held.empty()) << c.what;
    c.change();

    chooser.answers = {Text(saves / "saved.bin")};
    OnSaveImageClicked(form);
    EXPECT_EQ(test::ReadFileBytes(saves / kOutput), demo_) << c.what;

    // A replacement works on the image as loaded, too.
    chooser.answers = {Text(picture_)};
    OnOpenPictureClicked(form);
    const ByteBuffer replaced = test::ReadFileBytes(cwd_ / kOutput);
    ASSERT_EQ(replaced.size(), demo_.size()) << c.what;
    EXPECT_EQ(MiddleBytes(replaced, 1, slot.start - 1), MiddleBytes(demo_, 1, slot.start - 1)) << c.what;
    EXPECT_EQ(MiddleBytes(replaced, slot.end + 4, demo_.size()), MiddleBytes(demo_, slot.end + 4, demo_.size()))
        << c.what;
    fs::remove(cwd_ / kOutput);
    fs::current_path(cwd_.Path());
  }
}

}  // namespace
}  // namespace bootlume
