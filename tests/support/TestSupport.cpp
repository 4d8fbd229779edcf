#include "tests/support/TestSupport.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

namespace bootlume::test {
namespace {

std::string ReadAll(int fd) {
  std::string text;
  char chunk[4096];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(chunk, static_cast<std::size_t>(got));
  }
  return text;
}

}  // namespace

TempDirectory::TempDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "bootlume-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  // Restore permissions that a test took away, so that everything can go.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                   ignored);
    }
  }
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

ProcessResult RunProgram(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
  TempDirectory scratch;
  const std::string outPath = scratch / "out";
  const std::string errPath = scratch / "err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

  std::vector<std::string> envStrings;
  for (char** entry = environ; *entry != nullptr; ++entry) envStrings.emplace_back(*entry);
  envStrings.insert(envStrings.end(), environment.begin(), environment.end());
  std::vector<char*> envp;
  for (std::string& entry : envStrings) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> argStrings = arguments;
  std::vector<char*> argv;
  for (std::string& argument : argStrings) argv.push_back(argument.data());
  argv.push_back(nullptr);

  ProcessResult result;
  pid_t child = 0;
  const int rc = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    result.err = "cannot start " + arguments[0];
    return result;
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const int outFd = ::open(outPath.c_str(), O_RDONLY);
  const int errFd = ::open(errPath.c_str(), O_RDONLY);
  result.out = ReadAll(outFd);
  result.err = ReadAll(errFd);
  ::close(outFd);
  ::close(errFd);
  return result;
}

int RunShell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveProgram(const std::string& name) { return RunShell("command -v " + name + " >/dev/null 2>&1") == 0; }

std::string BinaryDir() { return BOOTLUME_BINARY_DIR; }
std::string SourceDir() { return BOOTLUME_SOURCE_DIR; }
std::string SharedDir() { return BOOTLUME_SHARED_DIR; }

ByteBuffer ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return ByteBuffer::FromString(bytes);
}

void WriteFileBytes(const std::string& path, ByteView bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

double PicturePsnr(const std::string& a, const std::string& b) {
  const ProcessResult result = RunProgram({"compare", "-metric", "PSNR", a, b, "null:"});
  if (result.status != 0 && result.status != 1) return -1;
  if (result.err.rfind("inf", 0) == 0) return 999;
  try {
    return std::stod(result.err);
  } catch (const std::exception&) {
    return -1;
  }
}

std::pair<int, int> PictureSize(const std::string& path) {
  const ProcessResult result = RunProgram({"identify", "-format", "%w %h", path + "[0]"});
  int width = 0, height = 0;
  if (result.status != 0 || std::sscanf(result.out.c_str(), "%d %d", &width, &height) != 2) return {0, 0};
  return {width, height};
}

std::string DemoFirmwarePath() { return BinaryDir() + "/../samples/demo-firmware.bin"; }
std::string DemoPicturePath(const std::string& name) { return BinaryDir() + "/../samples/" + name; }

}  // namespace bootlume::test
