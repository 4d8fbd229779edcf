// The three commands of bootlume-cli; each returns the exit status.
#pragma once

#include "cli/CliOptions.h"

namespace bootlume::cli {

int RunInfo(const CliOptions& options);
int RunExtract(const CliOptions& options);
int RunReplace(const CliOptions& options);

// Prints "bootlume-cli: <message>" on stderr and returns 1.
int Fail(const std::string& message);

}  // namespace bootlume::cli
