// What an MPEG-1 or MPEG-2 video still is, read from its sequence header and
// sequence extension; and every still an image holds.
#pragma once

#include <string>
#include <vector>

#include "engine/PictureSlot.h"
#include "platform/ByteBuffer.h"

namespace bootlume {

struct StreamInfo {
  bool valid = false;  // a whole sequence header was found at the start
  std::string format;  // "MPEG-1" or "MPEG-2"
  int width = 0;
  int height = 0;
  double frameRate = 0;      // pictures per second; 0 for a forbidden code
  std::string aspectRatio;   // "4:3", "16:9", "1:1", "2.21:1"; MPEG-1: the pixel aspect, e.g. "pixel 0.9157"
  std::string profileLevel;  // e.g. "Main@Main"; empty for MPEG-1
  std::string chroma;        // "4:2:0", "4:2:2" or "4:4:4"
};

// Reads the sequence header at the start of `stream` and the sequence
// extension after it, if any.
StreamInfo ReadStreamInfo(ByteView stream);

// Every still of the image, in order: each sequence header code with the
// first end code after it; the search goes on behind that end code. The
// first one is the boot picture's slot.
std::vector<PictureSlot> FindAllPictureSlots(ByteView image);

}  // namespace bootlume
