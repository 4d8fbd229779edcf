// bootlume-cli: the boot picture tools for scripts, batch work and headless
// machines, on the same work area and pipelines as the window.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/WorkAreaSession.h"
#include "platform/SystemServices.h"

namespace bootlume::cli {

int Fail(const std::string& message) {
  // After an interrupt the failure is its consequence, not news.
  if (!WorkAreaSession::Interrupted()) std::fprintf(stderr, "bootlume-cli: %s\n", message.c_str());
  return 1;
}

}  // namespace bootlume::cli

int main(int argc, char** argv) {
  using namespace bootlume::cli;
  bootlume::IgnoreFileSizeLimitSignal();
  const CliOptions options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  switch (options.command) {
    case Command::kNone:
      std::fprintf(stderr, "bootlume-cli: %s\n%s", options.error.c_str(), kUsage);
      return 2;
    case Command::kHelp:
      std::fputs(kUsage, stdout);
      return 0;
    case Command::kVersion:
      std::puts("bootlume-cli " BOOTLUME_VERSION);
      return 0;
    case Command::kInfo:
      return RunInfo(options);
    case Command::kExtract:
    case Command::kReplace: {
      const WorkAreaSession session;
      return options.command == Command::kExtract ? RunExtract(options) : RunReplace(options);
    }
  }
  return 2;
}
