// Fixtures of the decoder tests: MPEG streams made by Debian's ffmpeg,
// reference pictures from ffmpeg and libmpeg2, and runs of the tool installed
// the way the system installs it ("ffmpge.exe" in a work directory).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/ByteBuffer.h"
#include "tests/decoder/PictureCompare.h"
#include "tests/support/TestSupport.h"

namespace bootlume::decoder::test {

using bootlume::test::ProcessResult;
using bootlume::test::TempDirectory;

// Whether Debian's ffmpeg is there to make streams and references.
bool HaveFfmpeg();

// Runs ffmpeg quietly with `arguments` (a shell word list); true on success.
bool RunFfmpeg(const std::string& arguments);

// A one-picture elementary stream of ffmpeg's testsrc2 pattern at width x
// height coded with `codecArguments` ("-c:v mpeg2video -q:v 3 ..."), written
// to `path`. False when ffmpeg failed.
bool MakeTestStream(const std::string& path, int width, int height, const std::string& codecArguments);

// The tool copied into `workDirectory` as "ffmpge.exe", as the system runs it.
std::string InstallTool(const TempDirectory& workDirectory);

// Runs the installed tool with `arguments`.
ProcessResult RunTool(const std::string& tool, const std::vector<std::string>& arguments);

// The system's own decoder line for `input` and `output`.
std::vector<std::string> SystemLine(const std::string& input, const std::string& output);

// ffmpeg's picture from the system's line with -frames:v 1 in place of
// -t 0.001, at its best JPEG quality (-q:v 2) so that its own coding loss
// does not hide a difference.
std::optional<Pixels> FfmpegJpegReference(const std::string& stream, const std::string& scratch);

// How a careful converter renders the stream at 720x480: bicubic with
// accurate rounding and full chroma resolution, the chroma siting and matrix
// given, studio to full range. ffmpeg's own scale filter does it here.
struct Rendering {
  int chromaX = 0;  // chroma position in 1/256 luma samples
  int chromaY = 128;
  std::string matrix = "bt601";
};
std::optional<Pixels> FfmpegAccurateReference(const std::string& stream, const std::string& scratch,
                                              const Rendering& rendering);

// libmpeg2's first decoded picture: its luma plane cropped to width x height,
// as grey RGB expanded from studio to full range (an oracle independent of
// libavcodec). An end code is added for libmpeg2, which needs one to finish
// a lone picture. Empty without mpeg2dec.
std::optional<Pixels> Mpeg2decLuma(const std::string& stream, const TempDirectory& scratch, int width, int height);

// Weaves two one-picture progressive streams of the two fields (half height)
// into one interlaced frame coded as a pair of field pictures, top first.
ByteBuffer ComposeFieldPair(ByteView topField, ByteView bottomField);

}  // namespace bootlume::decoder::test
