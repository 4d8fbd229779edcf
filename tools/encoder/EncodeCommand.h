// The command line of bootlume-encode: options, exit statuses and messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/encoder/StillEncoder.h"

namespace bootlume::encoder {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;       // cannot open the picture, cannot create the output, out of memory
inline constexpr int kExitDoesNotFit = 2;    // no stream of the picture fits the budget
inline constexpr int kExitNoDecoder = -2;    // a picture decoding library cannot start (254)
inline constexpr int kExitUsage = -1;        // usage text shown (255)

inline constexpr std::int64_t kDefaultBudget = 32704;

struct EncodeArguments {
  TvSystem system = TvSystem::kPal;
  std::string input;   // "-f"
  std::string output;  // "-o"
  std::int64_t budget = kDefaultBudget;  // "-s"
  bool usage = false;  // no arguments, "-h", a missing "-f" or "-o", or a bad "-s"
};

// Options are compared exactly; one with a value consumes the next argument;
// anything else is ignored. "-p" wins over "-n" whatever their order.
EncodeArguments ParseEncodeArguments(const std::vector<std::string>& arguments);

// Runs the whole program on the arguments after the program name and returns
// its exit status.
int RunEncodeCommand(const std::vector<std::string>& arguments);

}  // namespace bootlume::encoder
