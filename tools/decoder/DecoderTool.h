// The decoder program: the first picture of an MPEG-1/2 still as a JPEG file.
// Exit status 0 when the output file was written; 1 with one line on the
// error stream, and the output path untouched, on any failure.
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace bootlume::decoder {

// Runs one conversion for the arguments after the program name; -h text goes
// to `out`, messages to `err`.
int RunDecoderTool(std::span<const std::string> arguments, std::ostream& out, std::ostream& err);

}  // namespace bootlume::decoder
