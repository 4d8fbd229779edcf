#include "cli/CliOptions.h"

#include <charconv>

namespace bootlume::cli {
namespace {

CliOptions Refuse(std::string why) {
  CliOptions options;
  options.error = std::move(why);
  return options;
}

}  // namespace

CliOptions ParseCommandLine(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return Refuse("no command given");
  CliOptions options;
  const std::string& command = arguments[0];
  if (command == "--help" || command == "-h" || command == "help") {
    options.command = Command::kHelp;
    return options;
  }
  if (command == "--version") {
    options.command = Command::kVersion;
    return options;
  }
  if (command == "info") {
    options.command = Command::kInfo;
  } else if (command == "extract") {
    options.command = Command::kExtract;
  } else if (command == "replace") {
    options.command = Command::kReplace;
  } else {
    return Refuse("unknown command '" + command + "'");
  }

  std::vector<std::string> positional;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (argument == "--help" || argument == "-h") {
      options.command = Command::kHelp;
      return options;
    } else if (argument == "-o" && hasValue) {
      options.output = arguments[++i];
    } else if (argument == "--slot" && hasValue) {
      const std::string& value = arguments[++i];
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), options.slot);
      if (error != std::errc() || end != value.data() + value.size() || options.slot < 1) {
        return Refuse("--slot takes a number from 1 on, not '" + value + "'");
      }
    } else if (argument == "--json" && options.command == Command::kInfo) {
      options.json = true;
    } else if (argument == "--raw" && options.command == Command::kExtract) {
      options.raw = true;
    } else if (argument == "--ntsc" && options.command == Command::kReplace) {
      options.ntsc = true;
    } else if (argument.size() > 1 && argument[0] == '-') {
      return Refuse(hasValue || (argument != "-o" && argument != "--slot") ? "unknown option '" + argument + "'"
                                                                           : argument + " needs a value");
    } else {
      positional.push_back(argument);
    }
  }

  const std::size_t wanted = options.command == Command::kReplace ? 2 : 1;
  if (positional.size() != wanted) {
    return Refuse(options.command == Command::kReplace ? "replace takes FIRMWARE and PICTURE"
                                                       : command + " takes one FIRMWARE");
  }
  options.firmware = positional[0];
  if (options.command == Command::kReplace) options.picture = positional[1];
  if (options.command == Command::kInfo && (options.slot != 1 || !options.output.empty())) {
    return Refuse("info takes neither --slot nor -o");
  }
  if (options.command == Command::kExtract && options.output.empty()) return Refuse("extract needs -o OUT");
  return options;
}

}  // namespace bootlume::cli
