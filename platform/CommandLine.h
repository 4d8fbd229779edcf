// Command lines as the system writes them: arguments separated by blanks,
// an argument with blanks enclosed in double quotes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace bootlume {

// Splits at blanks and tabs; double quotes group and are removed. An empty
// pair of quotes is an empty argument.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The argument as SplitCommandLine reads it back: quoted when it is empty or
// holds a blank or tab. (An argument cannot hold a double quote.)
std::string QuoteArgument(std::string_view argument);

}  // namespace bootlume
