// bootlume-encode-raw: runs the encoder core on a raw planar Y'CbCr 4:2:0
// frame (as `ffmpeg -pix_fmt yuv420p -f rawvideo` writes it) and prints what
// it chose and how long each step took. For measurements and experiments.
//   bootlume-encode-raw FRAME.yuv WIDTH HEIGHT BUDGET OUT.m2v [RECON.yuv] [LAMBDA_FACTOR]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/encoder/StillEncoder.h"

int main(int argc, char** argv) {
  using namespace bootlume;
  if (argc < 6) {
    std::fprintf(stderr, "usage: %s FRAME.yuv WIDTH HEIGHT BUDGET OUT.m2v [RECON.yuv] [LAMBDA_FACTOR]\n", argv[0]);
    return 2;
  }
  picture::Planes420 frame;
  frame.width = std::atoi(argv[2]);
  frame.height = std::atoi(argv[3]);
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<std::uint8_t> raw((std::istreambuf_iterator<char>(in)), {});
  const std::size_t lumaSize = static_cast<std::size_t>(frame.width) * frame.height;
  if (raw.size() < lumaSize * 3 / 2) {
    std::fprintf(stderr, "short frame\n");
    return 2;
  }
  frame.y.assign(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(lumaSize));
  frame.cb.assign(raw.begin() + static_cast<std::ptrdiff_t>(lumaSize), raw.begin() + static_cast<std::ptrdiff_t>(lumaSize * 5 / 4));
  frame.cr.assign(raw.begin() + static_cast<std::ptrdiff_t>(lumaSize * 5 / 4), raw.begin() + static_cast<std::ptrdiff_t>(lumaSize * 3 / 2));
  encoder::EncoderTuning tuning;
  if (argc > 7) tuning.lambdaFactor = std::atof(argv[7]);
  if (const char* q = std::getenv("BOOTLUME_FIXED_Q")) tuning.quantiserScaleCode = std::atoi(q);
  if (const char* f = std::getenv("BOOTLUME_VLC")) tuning.intraVlcFormat = std::atoi(f);
  if (const char* d = std::getenv("BOOTLUME_DCT")) tuning.dct = static_cast<encoder::EncoderTuning::Dct>(std::atoi(d));
  if (const char* p = std::getenv("BOOTLUME_DC")) tuning.intraDcPrecision = std::atoi(p);
  if (std::getenv("BOOTLUME_NOREFINE")) tuning.refine = false;
  if (std::getenv("BOOTLUME_ALT")) tuning.alternateScan = true;
  if (std::getenv("BOOTLUME_LINEAR")) tuning.nonLinearScale = false;
  if (const char* l = std::getenv("BOOTLUME_LF")) tuning.lambdaFactor = std::atof(l);
  if (const char* w = std::getenv("BOOTLUME_CW")) tuning.cbWeight = tuning.crWeight = std::atof(w);
  const auto start = std::chrono::steady_clock::now();
  const encoder::EncodeResult result = encoder::EncodeStill(
      frame, frame.height == 480 ? encoder::TvSystem::kNtsc : encoder::TvSystem::kPal, std::atoll(argv[4]), tuning);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  if (result.status != encoder::EncodeStatus::kOk) {
    std::printf("status %d smallest %lld\n", static_cast<int>(result.status), static_cast<long long>(result.smallestBytes));
    return 1;
  }
  std::ofstream(argv[5], std::ios::binary).write(reinterpret_cast<const char*>(result.stream.data()), static_cast<std::streamsize>(result.stream.size()));
  if (argc > 6) {
    std::ofstream recon(argv[6], std::ios::binary);
    for (const auto* plane : {&result.reconstruction.y, &result.reconstruction.cb, &result.reconstruction.cr}) {
      recon.write(reinterpret_cast<const char*>(plane->data()), static_cast<std::streamsize>(plane->size()));
    }
  }
  std::printf("bytes %zu smallest %lld dcprec %d vlc %d meanq %.2f field %d attempts %d ms %.1f\n", result.stream.size(),
              static_cast<long long>(result.smallestBytes), result.coding.intraDcPrecision, result.coding.intraVlcFormat,
              result.meanQuantiserScale, result.fieldDctMacroblocks, result.attempts, ms);
  return 0;
}
