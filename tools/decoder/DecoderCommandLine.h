// The decoder's command line: FFmpeg's grammar for the options a still
// conversion needs. Options before "-i" belong to the input, options before
// the output file to the output; -y, -n, -loglevel, -hide_banner and -h
// apply wherever they stand.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace bootlume::decoder {

// libav's log levels (AV_LOG_QUIET .. AV_LOG_TRACE).
inline constexpr int kLogQuiet = -8;
inline constexpr int kLogError = 16;
inline constexpr int kLogWarning = 24;
inline constexpr int kLogInfo = 32;
inline constexpr int kLogVerbose = 40;

// The largest output frame accepted by -s, in either direction.
inline constexpr int kMaxOutputSide = 4096;

// What one conversion is asked to do.
struct DecoderRequest {
  std::string inputPath;
  std::string outputPath;
  int outputWidth = 0;  // 0 with outputHeight 0: the stream's own size
  int outputHeight = 0;
  bool overwrite = false;      // -y: replace an existing output
  bool logLevelGiven = false;  // -loglevel/-v was on the command line
  int logLevel = kLogInfo;
  std::vector<std::string> warnings;  // harmless oddities worth a line at warning level
};

enum class CommandAction { kConvert, kShowHelp, kFail };

struct CommandLineResult {
  CommandAction action = CommandAction::kFail;
  DecoderRequest request;
  std::string error;  // one line, for kFail
};

// Parses the arguments after the program name.
CommandLineResult ParseDecoderCommandLine(std::span<const std::string> arguments);

// The -h text.
std::string DecoderUsage();

}  // namespace bootlume::decoder
