#include "tools/encoder/EncodeCommand.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "platform/SystemServices.h"
#include "tools/picture/PictureInput.h"

namespace bootlume::encoder {
namespace {

constexpr const char* kUsageText =
    "usage: bootlume-encode [-n | -p] -f PICTURE -o STREAM [-s BYTES]\n"
    "Encodes a picture (JPEG, PNG, BMP or GIF) as a one-picture MPEG-2 stream that\n"
    "is at most BYTES long, at the best quality that fits.\n"
    "  -p        PAL, 720x576 at 25 Hz (the default; wins over -n)\n"
    "  -n        NTSC, 720x480 at 30 Hz\n"
    "  -f FILE   the picture\n"
    "  -o FILE   the stream to write (replaced whole, or left alone on failure)\n"
    "  -s BYTES  the byte budget (default 32704)\n"
    "exit status: 0 written; 1 picture unreadable, output not writable or out of\n"
    "memory; 2 no stream of the picture fits BYTES; 254 no picture decoder;\n"
    "255 this text\n";

// A positive decimal byte count, or -1.
std::int64_t ParseBudget(const std::string& text) {
  if (text.empty() || text.size() > 10) return -1;
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value > 0 ? value : -1;
}

int Encode(const EncodeArguments& arguments) {
  const SequenceFormat format = FormatOf(arguments.system);
  picture::ReadResult read = picture::ReadPicture(arguments.input, format.width, format.height);
  if (read.status == picture::ReadStatus::kDecoderUnavailable) {
    std::fprintf(stderr, "Couldn't start the picture decoder for %s: %s\n", arguments.input.c_str(), read.detail.c_str());
    return kExitNoDecoder;
  }
  if (read.status != picture::ReadStatus::kOk) {
    std::fprintf(stderr, "Couldn't open %s\n", arguments.input.c_str());
    return kExitFailure;
  }
  picture::Planes420 planes;
  {
    const picture::RgbImage frame = picture::ResizeRgb(read.image, format.width, format.height);
    read.image = {};  // the source is no longer needed
    planes = picture::ToPlanes420(frame);
  }
  EncoderTuning tuning;
  tuning.reconstruct = false;
  const EncodeResult result = EncodeStill(planes, arguments.system, arguments.budget, tuning);
  if (result.status == EncodeStatus::kDoesNotFit) {
    std::fprintf(stderr, "no stream of this picture fits %" PRId64 " bytes (the smallest takes %" PRId64 " bytes)\n",
                 arguments.budget, result.smallestBytes);
    return kExitDoesNotFit;
  }
  if (result.status != EncodeStatus::kOk || static_cast<std::int64_t>(result.stream.size()) > arguments.budget) {
    std::fprintf(stderr, "Couldn't encode %s\n", arguments.input.c_str());
    return kExitFailure;
  }
  if (!WriteWholeFile(Text(arguments.output), ByteView(result.stream.data(), result.stream.size()))) {
    std::fprintf(stderr, "Couldn't create output file %s\n", arguments.output.c_str());
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

EncodeArguments ParseEncodeArguments(const std::vector<std::string>& arguments) {
  EncodeArguments parsed;
  bool pal = false, ntsc = false, haveInput = false, haveOutput = false, badBudget = false;
  parsed.usage = arguments.empty();
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (option == "-h") {
      parsed.usage = true;
    } else if (option == "-n") {
      ntsc = true;
    } else if (option == "-p") {
      pal = true;
    } else if (option == "-f" || option == "-o" || option == "-s") {
      if (!hasValue) {
        badBudget = badBudget || option == "-s";
        continue;
      }
      const std::string& value = arguments[++i];
      if (option == "-f") {
        parsed.input = value;
        haveInput = true;
      } else if (option == "-o") {
        parsed.output = value;
        haveOutput = true;
      } else {
        parsed.budget = ParseBudget(value);
        badBudget = parsed.budget < 0;
      }
    }
  }
  parsed.system = (ntsc && !pal) ? TvSystem::kNtsc : TvSystem::kPal;
  if (!haveInput || !haveOutput || badBudget) parsed.usage = true;
  return parsed;
}

int RunEncodeCommand(const std::vector<std::string>& arguments) {
  const EncodeArguments parsed = ParseEncodeArguments(arguments);
  if (parsed.usage) {
    std::fputs(kUsageText, stdout);
    return kExitUsage;
  }
  // Memory that runs out in a buffer of the platform ends the process through
  // the fatal-error presenter; here that ends it like any other shortage.
  SetMessageBoxPresenter([](const Text&, std::int32_t, const Text&) -> std::int32_t {
    std::fputs("malloc failed\n", stderr);
    std::fflush(stderr);
    std::_Exit(kExitFailure);
  });
  try {
    return Encode(parsed);
  } catch (const std::bad_alloc&) {
    std::fputs("malloc failed\n", stderr);
    return kExitFailure;
  }
}

}  // namespace bootlume::encoder
