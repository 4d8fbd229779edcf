// The command lines the pipelines build for the tools: arguments quoted
// where they hold blanks, split again when the tool is started.
// Input: arguments separated by NUL bytes (a double quote in one is dropped:
// an argument cannot hold one).
// Properties: quoting each argument and joining them with blanks splits back
// into exactly those arguments; any line splits into arguments without
// quotes, which survive the same round trip.
#include <string>
#include <vector>

#include "tests/fuzz/checks/FuzzChecks.h"
#include "tests/fuzz/checks/InputReader.h"
#include "platform/CommandLine.h"

namespace bootlume::fuzz {
namespace {

std::string Join(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) line += (line.empty() ? "" : " ") + QuoteArgument(argument);
  return line;
}

}  // namespace

CheckResult CheckCommandLine(ByteView input) {
  const std::string_view text = InputReader(input).RestAsText();
  std::vector<std::string> arguments(1);
  for (const char c : text) {
    if (c == '\0') {
      arguments.emplace_back();
    } else if (c != '"') {
      arguments.back() += c;
    }
  }
  if (SplitCommandLine(Join(arguments)) != arguments) {
    return CheckResult::Fail("quoted arguments do not split back into themselves");
  }
  const std::vector<std::string> split = SplitCommandLine(text.substr(0, text.find('\0')));
  for (const std::string& argument : split) {
    if (argument.find('"') != std::string::npos) return CheckResult::Fail("a split argument holds a quote");
  }
  if (SplitCommandLine(Join(split)) != split) return CheckResult::Fail("split arguments do not survive quoting");
  return CheckResult::Pass();
}

}  // namespace bootlume::fuzz
