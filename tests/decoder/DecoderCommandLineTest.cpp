// The decoder's command line: FFmpeg's grammar for what a still conversion needs.
#include <gtest/gtest.h>

#include "tools/decoder/DecoderCommandLine.h"

namespace bootlume::decoder {
namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  for (char c : line + " ") {
    if (c != ' ') {
      word += c;
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  return words;
}

CommandLineResult Parse(const std::string& line) { return ParseDecoderCommandLine(Split(line)); }

TEST(DecoderCommandLine, TheSystemsLine) {
  const CommandLineResult result = Parse("-i d:\\temp\\1.mpg -y -f image2 -t 0.001 -s 720x480 d:\\temp\\1.jpg");
  ASSERT_EQ(result.action, CommandAction::kConvert) << result.error;
  EXPECT_EQ(result.request.inputPath, "d:\\temp\\1.mpg");
  EXPECT_EQ(result.request.outputPath, "d:\\temp\\1.jpg");
  EXPECT_EQ(result.request.outputWidth, 720);
  EXPECT_EQ(result.request.outputHeight, 480);
  EXPECT_TRUE(result.request.overwrite);
  EXPECT_FALSE(result.request.logLevelGiven);
  EXPECT_TRUE(result.request.warnings.empty());
}

struct Accepted {
  const char* line;
  int width;
  int height;
  bool overwrite;
  bool warned;
};

void PrintTo(const Accepted& accepted, std::ostream* out) { *out << accepted.line; }

class AcceptedLine : public testing::TestWithParam<Accepted> {};

TEST_P(AcceptedLine, Parses) {
  const Accepted& expected = GetParam();
  const CommandLineResult result = Parse(expected.line);
  ASSERT_EQ(result.action, CommandAction::kConvert) << result.error;
  EXPECT_EQ(result.request.inputPath, "in.mpg");
  EXPECT_EQ(result.request.outputWidth, expected.width);
  EXPECT_EQ(result.request.outputHeight, expected.height);
  EXPECT_EQ(result.request.overwrite, expected.overwrite);
  EXPECT_EQ(!result.request.warnings.empty(), expected.warned);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, AcceptedLine,
    testing::Values(Accepted{"-i in.mpg -y -f image2 -frames:v 1 -s 720x480 out.jpg", 720, 480, true, false},
                    Accepted{"-hide_banner -loglevel error -i in.mpg -vframes 1 out.jpeg", 0, 0, false, false},
                    Accepted{"-f mpegvideo -t 00:00:01 -i in.mpg -t 100ms out.JPG", 0, 0, false, false},
                    Accepted{"-i in.mpg -s ntsc -frames 3 out.jpg", 720, 480, false, false},
                    Accepted{"-i in.mpg -s:v pal -f image2 picture", 720, 576, false,
                             false},                                            // image2 writes JPEG by default
                    Accepted{"-i in.mpg out.jpg -y", 0, 0, true, false},        // a global option after the output
                    Accepted{"-i in.mpg out.jpg -s 10x10", 0, 0, false, true},  // trailing per-file option: ignored
                    Accepted{"-nostdin -v 40 -i in.mpg -- out.jpg", 0, 0, false, false}));

struct Refused {
  const char* line;
  const char* message;
};

void PrintTo(const Refused& refused, std::ostream* out) { *out << refused.line; }

class RefusedLine : public testing::TestWithParam<Refused> {};

TEST_P(RefusedLine, FailsWithFfmpegsMessage) {
  const CommandLineResult result = Parse(GetParam().line);
  EXPECT_EQ(result.action, CommandAction::kFail);
  EXPECT_EQ(result.error, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RefusedLine,
    testing::Values(
        Refused{"-i in.mpg -frob -y out.jpg", "Unrecognized option 'frob'."},
        Refused{"-i in.mpg --y out.jpg", "Unrecognized option '-y'."},
        Refused{"-i in.mpg -y -s", "Missing argument for option 's'."},
        Refused{"-i", "Missing argument for option 'i'."},
        Refused{"-i in.mpg -y -n out.jpg", "Error, both -y and -n supplied. Exiting."},
        Refused{"-i in.mpg -y", "At least one output file must be specified"},
        Refused{"-y out.jpg", "No input file: give one with -i"},
        Refused{"-i in.mpg -t abc out.jpg", "Invalid duration specification for t: abc"},
        Refused{"-i in.mpg -t 0 out.jpg", "Invalid duration for t: 0 (a still needs a positive duration)"},
        Refused{"-i in.mpg -frames:v x out.jpg", "Expected number for frames:v but found: x"},
        Refused{"-i in.mpg -frames:v 0 out.jpg", "The value for frames:v was 0 which is not within 1 - 2147483647"},
        Refused{"-i in.mpg -s 12 out.jpg", "Invalid frame size: 12."},
        Refused{"-i in.mpg -s 5000x100 out.jpg", "Frame size 5000x100 is too large (at most 4096x4096)"},
        Refused{"-i in.mpg -f mp4 out.jpg", "Requested output format 'mp4' is not a suitable output format"},
        Refused{"-f mpeg -i in.mpg out.jpg", "Unknown input format: 'mpeg'"},
        Refused{"-s 720x480 -i in.mpg out.jpg", "Option video_size not found."},
        Refused{"-frames:v 1 -i in.mpg out.jpg",
                "Option frames:v cannot be applied to input url in.mpg -- you are trying to apply an input option to "
                "an output file or vice versa. Move this option before the file it belongs to."},
        Refused{"-i in.mpg out.png", "Unable to find a suitable output format for 'out.png'"},
        Refused{"-i in.mpg -f image2 out.png", "Output file out.png: only JPEG pictures can be written"},
        Refused{"-i in.mpg a.jpg b.jpg", "Only one output file is supported: 'b.jpg'"},
        Refused{"-i a.mpg -i b.mpg out.jpg", "Only one input file is supported: 'b.mpg'"},
        Refused{"-v loud -i in.mpg out.jpg",
                "Invalid loglevel \"loud\". Possible levels are numbers or: quiet, panic, fatal, error, warning, info, "
                "verbose, debug, trace"}));

TEST(DecoderCommandLine, HelpWinsWhereverItStands) {
  EXPECT_EQ(Parse("-h").action, CommandAction::kShowHelp);
  EXPECT_EQ(Parse("-i in.mpg -y -help out.jpg").action, CommandAction::kShowHelp);
  EXPECT_EQ(Parse("--help").action, CommandAction::kShowHelp);
}

TEST(DecoderCommandLine, LogLevelByNameOrNumber) {
  EXPECT_EQ(Parse("-loglevel quiet -i in.mpg out.jpg").request.logLevel, kLogQuiet);
  EXPECT_EQ(Parse("-v warning -i in.mpg out.jpg").request.logLevel, kLogWarning);
  EXPECT_EQ(Parse("-v 48 -i in.mpg out.jpg").request.logLevel, 48);
  EXPECT_TRUE(Parse("-v info -i in.mpg out.jpg").request.logLevelGiven);
}

}  // namespace
}  // namespace bootlume::decoder
