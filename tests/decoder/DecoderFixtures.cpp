#include "tests/decoder/DecoderFixtures.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "tools/decoder/StreamSurvey.h"

namespace bootlume::decoder::test {
namespace {

using bootlume::test::BinaryDir;
using bootlume::test::RunShell;

std::string Quote(const std::string& text) { return "'" + text + "'"; }

std::optional<std::size_t> FindCode(ByteView bytes, std::size_t from, std::uint8_t code) {
  for (auto at = FindStartCode(bytes, from); at; at = FindStartCode(bytes, *at + 3)) {
    if (*at + 3 < bytes.size() && bytes[*at + 3] == code) return at;
  }
  return std::nullopt;
}

// The first extension of the given id (sequence 1, picture coding 8) at or after `from`.
std::size_t FindExtension(ByteView bytes, std::size_t from, int id) {
  for (auto at = FindCode(bytes, from, 0xB5); at; at = FindCode(bytes, *at + 3, 0xB5)) {
    if ((bytes[*at + 4] >> 4) == id) return *at;
  }
  throw std::runtime_error("extension missing");
}

// Marks the picture coding extension at `at` as one field of an interlaced frame.
void MakeField(std::vector<std::uint8_t>& bytes, std::size_t at, int pictureStructure) {
  std::uint8_t* payload = bytes.data() + at + 4;
  payload[2] = static_cast<std::uint8_t>((payload[2] & ~3) | pictureStructure);
  // top_field_first, frame_pred_frame_dct, repeat_first_field, chroma_420_type and
  // progressive_frame are 0 in a field picture; an intra field codes no dct_type
  // either, so the macroblocks stay as they are.
  payload[3] &= static_cast<std::uint8_t>(~(0x80 | 0x40 | 0x02 | 0x01));
  payload[4] &= 0x7F;
}

std::size_t EndOfPictureData(ByteView bytes) {
  const auto end = FindCode(bytes, 0, 0xB7);
  return end ? *end : bytes.size();
}

}  // namespace

bool HaveFfmpeg() { return bootlume::test::HaveProgram("ffmpeg"); }

bool RunFfmpeg(const std::string& arguments) {
  return RunShell("ffmpeg -nostdin -hide_banner -loglevel error -y " + arguments + " </dev/null") == 0;
}

bool MakeTestStream(const std::string& path, int width, int height, const std::string& codecArguments) {
  return RunFfmpeg("-f lavfi -i testsrc2=s=" + std::to_string(width) + "x" + std::to_string(height) +
                   ":r=25 -frames:v 1 " + codecArguments + " -f mpeg2video " + Quote(path));
}

std::string InstallTool(const TempDirectory& workDirectory) {
  const std::string tool = workDirectory / "ffmpge.exe";
  std::filesystem::copy_file(BinaryDir() + "/bootlume-decode", tool, std::filesystem::copy_options::overwrite_existing);
  return tool;
}

ProcessResult RunTool(const std::string& tool, const std::vector<std::string>& arguments) {
  std::vector<std::string> line{tool};
  line.insert(line.end(), arguments.begin(), arguments.end());
  return bootlume::test::RunProgram(line);
}

std::vector<std::string> SystemLine(const std::string& input, const std::string& output) {
  return {"-i", input, "-y", "-f", "image2", "-t", "0.001", "-s", "720x480", output};
}

std::optional<Pixels> FfmpegJpegReference(const std::string& stream, const std::string& scratch) {
  const std::string output = scratch + "/ffmpeg-reference.jpg";
  if (!RunFfmpeg("-f mpegvideo -i " + Quote(stream) + " -f image2 -frames:v 1 -s 720x480 -q:v 2 " + Quote(output))) {
    return std::nullopt;
  }
  return ReadJpeg(output);
}

std::optional<Pixels> FfmpegAccurateReference(const std::string& stream, const std::string& scratch,
                                              const Rendering& rendering) {
  const std::string output = scratch + "/accurate-reference.ppm";
  const std::string filter = "scale=720:480:flags=bicubic+accurate_rnd+full_chroma_int+full_chroma_inp:in_h_chr_pos=" +
                             std::to_string(rendering.chromaX) + ":in_v_chr_pos=" + std::to_string(rendering.chromaY) +
                             ":in_color_matrix=" + rendering.matrix + ":in_range=tv:out_range=pc,format=rgb24";
  if (!RunFfmpeg("-f mpegvideo -i " + Quote(stream) + " -frames:v 1 -vf " + Quote(filter) + " " + Quote(output))) {
    return std::nullopt;
  }
  return ReadPpm(output);
}

std::optional<Pixels> Mpeg2decLuma(const std::string& stream, const TempDirectory& scratch, int width, int height) {
  if (!bootlume::test::HaveProgram("mpeg2dec")) return std::nullopt;
  const std::string folder = scratch / "mpeg2dec";
  std::filesystem::create_directories(folder);
  ByteBuffer ended = bootlume::test::ReadFileBytes(stream);
  ended.Append(ByteBuffer{0x00, 0x00, 0x01, 0xB7});
  bootlume::test::WriteFileBytes(folder + "/stream.mpg", ended);
  if (RunShell("cd " + Quote(folder) + " && mpeg2dec -o pgm stream.mpg >/dev/null 2>&1") != 0) return std::nullopt;
  // libmpeg2's PGM holds the coded luma plane with the chroma planes below it.
  std::ifstream file(folder + "/0.pgm", std::ios::binary);
  std::string magic;
  int columns = 0;
  int rows = 0;
  int maximum = 0;
  if (!(file >> magic >> columns >> rows >> maximum) || magic != "P5" || columns < width || rows < height) {
    return std::nullopt;
  }
  file.get();
  std::vector<std::uint8_t> plane(static_cast<std::size_t>(columns) * rows);
  if (!file.read(reinterpret_cast<char*>(plane.data()), static_cast<std::streamsize>(plane.size())))
    return std::nullopt;
  Pixels grey{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double full = (plane[static_cast<std::size_t>(y) * columns + x] - 16) * 255.0 / 219.0;
      const auto value = static_cast<std::uint8_t>(std::clamp(full + 0.5, 0.0, 255.0));
      for (int c = 0; c < 3; ++c) grey.rgb[(static_cast<std::size_t>(y) * width + x) * 3 + c] = value;
    }
  }
  return grey;
}

ByteBuffer ComposeFieldPair(ByteView topField, ByteView bottomField) {
  std::vector<std::uint8_t> top(topField.begin(), topField.begin() + EndOfPictureData(topField));
  std::vector<std::uint8_t> bottom(bottomField.begin(), bottomField.begin() + EndOfPictureData(bottomField));

  // The sequence declares the whole frame: twice the field's height, interlaced.
  const auto header = FindCode(top, 0, 0xB3).value();
  const int fieldHeight = ((top[header + 5] & 0x0F) << 8) | top[header + 6];
  const int frameHeight = fieldHeight * 2;
  top[header + 5] = static_cast<std::uint8_t>((top[header + 5] & 0xF0) | (frameHeight >> 8));
  top[header + 6] = static_cast<std::uint8_t>(frameHeight & 0xFF);
  const std::size_t sequenceExtension = FindExtension(top, header, 1);
  top[sequenceExtension + 5] &= static_cast<std::uint8_t>(~0x08);  // progressive_sequence = 0

  MakeField(top, FindExtension(top, FindCode(top, 0, 0x00).value(), 8), 1);
  const std::size_t bottomPicture = FindCode(bottom, 0, 0x00).value();
  MakeField(bottom, FindExtension(bottom, bottomPicture, 8), 2);

  ByteBuffer stream(top);
  stream.Append(ByteView(bottom).subspan(bottomPicture));
  stream.Append(ByteBuffer{0x00, 0x00, 0x01, 0xB7});
  return stream;
}

}  // namespace bootlume::decoder::test
