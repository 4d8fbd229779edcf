// Fixtures of the encoder tests: synthetic frames that stress the coder, and
// the two independent decoders (FFmpeg and libmpeg2) as oracles.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/picture/PictureInput.h"

namespace bootlume::test {

enum class Synthetic { kFlatGrey, kBlack, kWhite, kGradients, kCheckerboard, kNoise, kFineText, kPhotoLike };
std::string NameOf(Synthetic kind);

// A Y'CbCr 4:2:0 frame; the gradients span the full 0..255 range of every
// plane, beyond the studio range.
picture::Planes420 MakeFrame(Synthetic kind, int width, int height);

struct Decoded {
  bool ok = false;
  std::string messages;  // what the decoder said (FFmpeg at warning level)
  picture::Planes420 planes;
};

// Decodes the first picture of an MPEG-2 elementary stream file.
Decoded DecodeWithFfmpeg(const std::string& streamPath, int width, int height);
Decoded DecodeWithLibmpeg2(const std::string& streamPath, int width, int height);

// PSNR in dB of the worst of the three planes (infinity when identical).
double WorstPlanePsnr(const picture::Planes420& a, const picture::Planes420& b);

}  // namespace bootlume::test
