// bootlume-decode: the first picture of an MPEG-1/2 video still as a JPEG,
// with FFmpeg's command line ("-i in.mpg -y -f image2 -t 0.001 -s 720x480 out.jpg").
#include <iostream>
#include <string>
#include <vector>

#include "platform/SystemServices.h"
#include "tools/decoder/DecoderTool.h"

int main(int argc, char** argv) {
  bootlume::IgnoreFileSizeLimitSignal();
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return bootlume::decoder::RunDecoderTool(arguments, std::cout, std::cerr);
}
