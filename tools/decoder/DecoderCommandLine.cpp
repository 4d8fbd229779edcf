#include "tools/decoder/DecoderCommandLine.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdint>
#include <optional>
#include <string_view>

extern "C" {
#include <libavutil/parseutils.h>
}

namespace bootlume::decoder {
namespace {

enum class OptionKind {
  kHelp,
  kOverwrite,
  kNeverOverwrite,
  kHideBanner,
  kNoStdin,
  kLogLevel,
  kInput,
  kFormat,
  kDuration,
  kSize,
  kFrames,
};

struct KnownOption {
  std::string_view name;
  OptionKind kind;
  bool takesValue;
};

constexpr std::array kOptions{
    KnownOption{"h", OptionKind::kHelp, false},
    KnownOption{"?", OptionKind::kHelp, false},
    KnownOption{"help", OptionKind::kHelp, false},
    KnownOption{"-help", OptionKind::kHelp, false},
    KnownOption{"y", OptionKind::kOverwrite, false},
    KnownOption{"n", OptionKind::kNeverOverwrite, false},
    KnownOption{"hide_banner", OptionKind::kHideBanner, false},
    KnownOption{"nostdin", OptionKind::kNoStdin, false},
    KnownOption{"loglevel", OptionKind::kLogLevel, true},
    KnownOption{"v", OptionKind::kLogLevel, true},
    KnownOption{"i", OptionKind::kInput, true},
    KnownOption{"f", OptionKind::kFormat, true},
    KnownOption{"t", OptionKind::kDuration, true},
    KnownOption{"s", OptionKind::kSize, true},
    KnownOption{"s:v", OptionKind::kSize, true},
    KnownOption{"frames", OptionKind::kFrames, true},
    KnownOption{"frames:v", OptionKind::kFrames, true},
    KnownOption{"vframes", OptionKind::kFrames, true},
};

const KnownOption* FindOption(std::string_view name) {
  const auto found =
      std::find_if(kOptions.begin(), kOptions.end(), [&](const KnownOption& o) { return o.name == name; });
  return found == kOptions.end() ? nullptr : &*found;
}

// A per-file option as written, checked when the file it belongs to is known.
struct FileOption {
  const KnownOption* known;
  std::string name;
  std::string value;
};

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower;
}

std::string ExtensionOf(std::string_view path) {
  const auto slash = path.find_last_of("/\\");
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const auto dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : Lower(name.substr(dot + 1));
}

std::optional<int> ParseLogLevel(std::string_view value) {
  static constexpr std::array<std::pair<std::string_view, int>, 9> kLevels{{
      {"quiet", kLogQuiet},
      {"panic", 0},
      {"fatal", 8},
      {"error", kLogError},
      {"warning", kLogWarning},
      {"info", kLogInfo},
      {"verbose", kLogVerbose},
      {"debug", 48},
      {"trace", 56},
  }};
  for (const auto& [name, level] : kLevels) {
    if (value == name) return level;
  }
  int number = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (error == std::errc() && end == value.data() + value.size()) return number;
  return std::nullopt;
}

// A duration in FFmpeg's syntax ("0.001", "1.5s", "00:00:01", "100ms");
// an error text when it is not one or not positive.
std::optional<std::string> CheckDuration(const std::string& name, const std::string& value) {
  std::int64_t microseconds = 0;
  if (av_parse_time(&microseconds, value.c_str(), 1) < 0)
    return "Invalid duration specification for " + name + ": " + value;
  if (microseconds <= 0) return "Invalid duration for " + name + ": " + value + " (a still needs a positive duration)";
  return std::nullopt;
}

std::optional<std::string> CheckFrames(const std::string& name, const std::string& value) {
  long long count = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), count);
  if (error == std::errc::result_out_of_range)
    return "The value for " + name + " was " + value + " which is out of range";
  if (error != std::errc() || end != value.data() + value.size())
    return "Expected number for " + name + " but found: " + value;
  if (count < 1)
    return "The value for " + name + " was " + value + " which is not within 1 - " + std::to_string(INT_MAX);
  return std::nullopt;
}

std::string WrongSideMessage(const FileOption& option, const std::string& path, bool forInput) {
  return "Option " + option.name + " cannot be applied to " + (forInput ? "input url " : "output url ") + path +
         " -- you are trying to apply an input option to an output file or vice versa. Move this option before the "
         "file it belongs to.";
}

// Applies the options written before "-i path".
std::optional<std::string> ApplyInputOptions(const std::vector<FileOption>& options, const std::string& path) {
  for (const FileOption& option : options) {
    switch (option.known->kind) {
      case OptionKind::kFormat:
        // Only a raw elementary stream is read; FFmpeg's name for it is mpegvideo.
        if (option.value != "mpegvideo") return "Unknown input format: '" + option.value + "'";
        break;
      case OptionKind::kDuration:
        if (auto error = CheckDuration(option.name, option.value)) return error;
        break;
      case OptionKind::kSize:
        // An elementary stream carries its own size: FFmpeg refuses the option there too.
        return std::string("Option video_size not found.");
      case OptionKind::kFrames:
        return WrongSideMessage(option, path, true);
      default:
        break;
    }
  }
  return std::nullopt;
}

// Applies the options written before the output path.
std::optional<std::string> ApplyOutputOptions(const std::vector<FileOption>& options, DecoderRequest& request,
                                              bool& formatIsImage2) {
  for (const FileOption& option : options) {
    switch (option.known->kind) {
      case OptionKind::kFormat:
        if (option.value != "image2") {
          return "Requested output format '" + option.value + "' is not a suitable output format";
        }
        formatIsImage2 = true;
        break;
      case OptionKind::kDuration:
        if (auto error = CheckDuration(option.name, option.value)) return error;
        break;
      case OptionKind::kSize: {
        int width = 0;
        int height = 0;
        if (av_parse_video_size(&width, &height, option.value.c_str()) < 0 || width <= 0 || height <= 0) {
          return "Invalid frame size: " + option.value + ".";
        }
        if (width > kMaxOutputSide || height > kMaxOutputSide) {
          return "Frame size " + option.value + " is too large (at most " + std::to_string(kMaxOutputSide) + "x" +
                 std::to_string(kMaxOutputSide) + ")";
        }
        request.outputWidth = width;
        request.outputHeight = height;
        break;
      }
      case OptionKind::kFrames:
        if (auto error = CheckFrames(option.name, option.value)) return error;
        break;
      default:
        break;
    }
  }
  return std::nullopt;
}

// Whether the output is a JPEG file: by its extension, or by -f image2 for a
// name that does not call for another picture format.
std::optional<std::string> CheckOutputFormat(const std::string& path, bool formatIsImage2) {
  static constexpr std::array<std::string_view, 3> kJpeg{"jpg", "jpeg", "jpe"};
  static constexpr std::array<std::string_view, 16> kOtherPictures{
      "png", "bmp", "gif", "tif", "tiff", "webp", "ppm", "pgm", "pbm", "pam", "tga", "jp2", "j2k", "jxl", "dpx", "exr"};
  const std::string extension = ExtensionOf(path);
  const auto in = [&](const auto& list) { return std::find(list.begin(), list.end(), extension) != list.end(); };
  if (in(kJpeg)) return std::nullopt;
  if (formatIsImage2 && !in(kOtherPictures)) return std::nullopt;
  if (formatIsImage2) return "Output file " + path + ": only JPEG pictures can be written";
  return "Unable to find a suitable output format for '" + path + "'";
}

CommandLineResult Failure(std::string error) {
  CommandLineResult result;
  result.action = CommandAction::kFail;
  result.error = std::move(error);
  return result;
}

}  // namespace

CommandLineResult ParseDecoderCommandLine(std::span<const std::string> arguments) {
  CommandLineResult result;
  DecoderRequest& request = result.request;
  std::vector<FileOption> pending;
  bool neverOverwrite = false;
  bool haveInput = false;
  bool haveOutput = false;
  bool formatIsImage2 = false;
  bool optionsEnded = false;

  for (std::size_t index = 0; index < arguments.size(); ++index) {
    const std::string& argument = arguments[index];
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
      continue;
    }
    if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
      // A file name: the output, which takes the options written before it.
      if (haveOutput) return Failure("Only one output file is supported: '" + argument + "'");
      haveOutput = true;
      request.outputPath = argument;
      if (auto error = ApplyOutputOptions(pending, request, formatIsImage2)) return Failure(*error);
      pending.clear();
      continue;
    }
    const std::string name = argument.substr(1);
    const KnownOption* option = FindOption(name);
    if (option == nullptr) return Failure("Unrecognized option '" + name + "'.");
    std::string value;
    if (option->takesValue) {
      if (index + 1 >= arguments.size()) return Failure("Missing argument for option '" + name + "'.");
      value = arguments[++index];
    }
    switch (option->kind) {
      case OptionKind::kHelp:
        result.action = CommandAction::kShowHelp;
        return result;
      case OptionKind::kOverwrite:
        request.overwrite = true;
        break;
      case OptionKind::kNeverOverwrite:
        neverOverwrite = true;
        break;
      case OptionKind::kHideBanner:
      case OptionKind::kNoStdin:
        break;  // no banner is printed and standard input is never read
      case OptionKind::kLogLevel: {
        const auto level = ParseLogLevel(value);
        if (!level) {
          return Failure("Invalid loglevel \"" + value +
                         "\". Possible levels are numbers or: quiet, panic, fatal, error, warning, info, verbose, "
                         "debug, trace");
        }
        request.logLevel = *level;
        request.logLevelGiven = true;
        break;
      }
      case OptionKind::kInput:
        if (haveInput) return Failure("Only one input file is supported: '" + value + "'");
        if (value.empty()) return Failure("An empty input file name was given");
        haveInput = true;
        request.inputPath = value;
        if (auto error = ApplyInputOptions(pending, value)) return Failure(*error);
        pending.clear();
        break;
      case OptionKind::kDuration:
        if (auto error = CheckDuration(name, value)) return Failure(*error);
        pending.push_back({option, name, value});
        break;
      case OptionKind::kFrames:
        if (auto error = CheckFrames(name, value)) return Failure(*error);
        pending.push_back({option, name, value});
        break;
      case OptionKind::kFormat:
      case OptionKind::kSize:
        pending.push_back({option, name, value});
        break;
    }
  }

  if (request.overwrite && neverOverwrite) return Failure("Error, both -y and -n supplied. Exiting.");
  if (!haveOutput) return Failure("At least one output file must be specified");
  if (!haveInput) return Failure("No input file: give one with -i");
  if (!pending.empty()) request.warnings.push_back("Trailing option(s) found in the command: may be ignored.");
  if (auto error = CheckOutputFormat(request.outputPath, formatIsImage2)) return Failure(*error);
  result.action = CommandAction::kConvert;
  return result;
}

std::string DecoderUsage() {
  return "usage: bootlume-decode [options] [[infile options] -i infile] {[outfile options] outfile}\n"
         "Writes the first picture of an MPEG-1 or MPEG-2 video elementary stream as a JPEG file.\n"
         "\n"
         "Global options:\n"
         "  -h                  show this help\n"
         "  -y                  overwrite an existing output file\n"
         "  -n                  never overwrite an existing output file (the default here)\n"
         "  -loglevel LEVEL     quiet, panic, fatal, error, warning, info, verbose, debug, trace (-v too)\n"
         "  -hide_banner        accepted; no banner is printed\n"
         "\n"
         "Input options (before -i):\n"
         "  -f mpegvideo        the input is a raw MPEG-1/2 video stream (always assumed)\n"
         "  -t DURATION         any positive duration: the first picture is read\n"
         "\n"
         "Output options (before the output file):\n"
         "  -f image2           write a single picture file (JPEG)\n"
         "  -s WxH              output frame size, stretched without keeping the aspect ratio\n"
         "  -t DURATION         any positive duration: the first picture is written\n"
         "  -frames:v N         N >= 1 (also -vframes): the first picture is written\n"
         "\n"
         "The output file name ends in .jpg or .jpeg, or -f image2 is given.\n";
}

}  // namespace bootlume::decoder
