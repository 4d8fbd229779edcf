#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <vector>

#include "platform/CommandLine.h"
#include "platform/SystemServices.h"

extern char** environ;

namespace bootlume {
namespace {

void WaitForExit(pid_t child) {
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

// Spawn settings: default signal handling and an empty signal mask in the
// child, and for a hidden run /dev/null on its standard streams.
class SpawnSettings {
 public:
  explicit SpawnSettings(bool hidden) {
    posix_spawn_file_actions_init(&actions_);
    posix_spawnattr_init(&attributes_);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes_, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes_, &signals);
    posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    if (hidden) {
      posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
      posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0);
      posix_spawn_file_actions_addopen(&actions_, 2, "/dev/null", O_WRONLY, 0);
    }
  }
  ~SpawnSettings() {
    posix_spawnattr_destroy(&attributes_);
    posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnSettings(const SpawnSettings&) = delete;
  SpawnSettings& operator=(const SpawnSettings&) = delete;

  const posix_spawn_file_actions_t* Actions() const { return &actions_; }
  const posix_spawnattr_t* Attributes() const { return &attributes_; }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
};

}  // namespace

bool RunCommandLine(const Text& commandLine, bool wait, std::int32_t showMode) {
  std::vector<std::string> arguments = SplitCommandLine(commandLine.View());
  if (arguments.empty() || arguments.front().empty()) return false;
  const bool hidden = std::clamp<std::int32_t>(showMode, kShowHidden, kShowMinimizeNext) == kShowHidden;

  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  const SpawnSettings settings(hidden);
  pid_t child = 0;
  // posix_spawnp reports a program that cannot be executed as an error here,
  // so a missing tool fails at once instead of after a wait.
  if (::posix_spawnp(&child, argv[0], settings.Actions(), settings.Attributes(), argv.data(), environ) != 0) {
    return false;
  }
  if (wait) {
    WaitForExit(child);
  } else {
    std::thread(WaitForExit, child).detach();  // reap it when it ends
  }
  return true;
}

}  // namespace bootlume
