// The command line of bootlume-cli.
#pragma once

#include <string>
#include <vector>

namespace bootlume::cli {

enum class Command { kNone, kHelp, kVersion, kInfo, kExtract, kReplace };

struct CliOptions {
  Command command = Command::kNone;
  std::string firmware;
  std::string picture;  // replace
  std::string output;   // -o
  bool json = false;    // info --json
  bool raw = false;     // extract --raw
  bool ntsc = false;    // replace --ntsc
  int slot = 1;         // --slot N: the N-th still, counting from 1
  std::string error;    // why the command line was refused; empty when it was not
};

inline constexpr const char* kUsage =
    "usage: bootlume-cli info FIRMWARE [--json]\n"
    "       bootlume-cli extract FIRMWARE -o OUT.jpg [--slot N]\n"
    "       bootlume-cli extract FIRMWARE --raw -o OUT.m2v [--slot N]\n"
    "       bootlume-cli replace FIRMWARE PICTURE [-o OUT] [--ntsc] [--slot N]\n"
    "       bootlume-cli --help | --version\n"
    "\n"
    "  info     where the boot picture lies and what it is, and every other still\n"
    "  extract  the boot picture as a 720x480 JPEG, or with --raw its stream bytes\n"
    "  replace  put PICTURE (JPEG, PNG, BMP, GIF) in place of the boot picture and\n"
    "           write the modified image to OUT (default: 已修改.BIN here)\n"
    "  --slot N work on the N-th still that info lists instead of the first\n"
    "  --ntsc   make a 720x480 NTSC picture instead of 720x576 PAL\n";

CliOptions ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace bootlume::cli
