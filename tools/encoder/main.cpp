// bootlume-encode: a picture in, a one-picture MPEG-2 stream within a byte
// budget out. See EncodeCommand.h for the options and exit statuses.
#include <string>
#include <vector>

#include "platform/SystemServices.h"
#include "tools/encoder/EncodeCommand.h"

int main(int argc, char** argv) {
  bootlume::IgnoreFileSizeLimitSignal();
  return bootlume::encoder::RunEncodeCommand(std::vector<std::string>(argv + 1, argv + argc));
}
