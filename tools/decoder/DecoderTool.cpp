#include "tools/decoder/DecoderTool.h"

#include <sys/stat.h>

#include "platform/SystemServices.h"
#include "tools/decoder/DecoderCommandLine.h"
#include "tools/decoder/InputFile.h"
#include "tools/decoder/JpegWriter.h"
#include "tools/decoder/PictureDecoder.h"
#include "tools/decoder/PictureScaler.h"
#include "tools/decoder/StreamSurvey.h"

extern "C" {
#include <libavutil/log.h>
}

namespace bootlume::decoder {
namespace {

constexpr int kFailure = 1;

// The tool's own messages, one line each, shown from the chosen level up.
class Messages {
 public:
  Messages(std::ostream& err, int level) : err_(err), level_(level) {}
  void Error(const std::string& line) const { Say(kLogError, line); }
  void Warning(const std::string& line) const { Say(kLogWarning, line); }
  void Verbose(const std::string& line) const { Say(kLogVerbose, line); }

 private:
  void Say(int level, const std::string& line) const {
    if (level <= level_) err_ << line << '\n' << std::flush;
  }
  std::ostream& err_;
  int level_;
};

bool Exists(const std::string& path, struct stat& info) { return ::stat(path.c_str(), &info) == 0; }

std::string ChromaName(int chromaFormat) {
  switch (chromaFormat) {
    case 2:
      return "4:2:2";
    case 3:
      return "4:4:4";
    default:
      return "4:2:0";
  }
}

int Convert(const DecoderRequest& request, const Messages& messages) {
  const std::string& input = request.inputPath;
  const std::string& output = request.outputPath;

  const InputRead read = ReadBoundedFile(input);
  if (!read.failure.empty()) {
    messages.Error(input + ": " + read.failure);
    return kFailure;
  }
  struct stat inputInfo {};
  struct stat outputInfo {};
  if (Exists(output, outputInfo)) {
    if (Exists(input, inputInfo) && inputInfo.st_dev == outputInfo.st_dev && inputInfo.st_ino == outputInfo.st_ino) {
      messages.Error("Output " + output + " same as Input #0 - exiting");
      return kFailure;
    }
    // FFmpeg would ask; there is no one to ask.
    if (!request.overwrite) {
      messages.Error("File '" + output + "' already exists. Exiting.");
      return kFailure;
    }
  }

  const StreamBytes stream(read.bytes.data(), static_cast<std::size_t>(read.bytes.size()));
  const StreamSurvey survey = SurveyStream(stream);
  if (!survey.sequenceHeader) {
    messages.Error(input + ": no MPEG-1/2 video sequence header found");
    return kFailure;
  }
  if (!IsSupportedPictureSize(survey.width, survey.height)) {
    messages.Error(input + ": picture size " + std::to_string(survey.width) + "x" + std::to_string(survey.height) +
                   " is not supported (1x1 to " + std::to_string(kMaxPictureWidth) + "x" +
                   std::to_string(kMaxPictureHeight) + ")");
    return kFailure;
  }
  if (!survey.hasPicture) {
    messages.Error(input + ": no picture follows the sequence header");
    return kFailure;
  }

  const DecodedPicture decoded = DecodeFirstPicture(stream, survey);
  if (!decoded.frame) {
    messages.Error(input + ": " + decoded.failure);
    return kFailure;
  }
  if (decoded.concealed) messages.Warning(input + ": the first picture is damaged; the decoder filled in the gaps");
  if (decoded.singleField) {
    messages.Warning(input + ": the first picture has only one field; the other one is interpolated");
  }

  const AVFrame& frame = *decoded.frame;
  const int width = request.outputWidth > 0 ? request.outputWidth : frame.width;
  const int height = request.outputHeight > 0 ? request.outputHeight : frame.height;
  const std::optional<RgbPicture> picture = ScaleToRgb(frame, decoded.mpeg2, width, height);
  if (!picture) {
    messages.Error(input + ": the picture could not be converted to " + std::to_string(width) + "x" +
                   std::to_string(height) + " RGB");
    return kFailure;
  }
  const JpegResult jpeg = EncodeJpeg(*picture);
  if (jpeg.bytes.empty()) {
    messages.Error(output + ": " + jpeg.failure);
    return kFailure;
  }
  if (!WriteWholeFile(Text(output), jpeg.bytes)) {
    messages.Error(output + ": the output file could not be written");
    return kFailure;
  }
  messages.Verbose(input + ": " + (decoded.mpeg2 ? "MPEG-2 " : "MPEG-1 ") + std::to_string(frame.width) + "x" +
                   std::to_string(frame.height) + " " + ChromaName(survey.chromaFormat) + " -> " + output + ": " +
                   std::to_string(width) + "x" + std::to_string(height) + " JPEG, " +
                   std::to_string(jpeg.bytes.size()) + " bytes");
  return 0;
}

}  // namespace

int RunDecoderTool(std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
  const CommandLineResult parsed = ParseDecoderCommandLine(arguments);
  if (parsed.action == CommandAction::kShowHelp) {
    out << DecoderUsage() << std::flush;
    return 0;
  }
  if (parsed.action == CommandAction::kFail) {
    err << parsed.error << '\n' << std::flush;
    return kFailure;
  }
  const DecoderRequest& request = parsed.request;
  // libav speaks only when the command line asks for a level.
  av_log_set_level(request.logLevelGiven ? request.logLevel : AV_LOG_QUIET);
  const Messages messages(err, request.logLevel);
  for (const std::string& warning : request.warnings) messages.Warning(warning);
  return Convert(request, messages);
}

}  // namespace bootlume::decoder
