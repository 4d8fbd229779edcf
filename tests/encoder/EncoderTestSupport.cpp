#include "tests/encoder/EncoderTestSupport.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "tests/support/TestSupport.h"

namespace bootlume::test {

std::string NameOf(Synthetic kind) {
  switch (kind) {
    case Synthetic::kFlatGrey: return "FlatGrey";
    case Synthetic::kBlack: return "Black";
    case Synthetic::kWhite: return "White";
    case Synthetic::kGradients: return "Gradients";
    case Synthetic::kCheckerboard: return "Checkerboard";
    case Synthetic::kNoise: return "Noise";
    case Synthetic::kFineText: return "FineText";
    case Synthetic::kPhotoLike: return "PhotoLike";
  }
  return "?";
}

picture::Planes420 MakeFrame(Synthetic kind, int width, int height) {
  picture::Planes420 f;
  f.width = width;
  f.height = height;
  const int cw = width / 2, ch = height / 2;
  f.y.assign(static_cast<std::size_t>(width) * height, 128);
  f.cb.assign(static_cast<std::size_t>(cw) * ch, 128);
  f.cr.assign(static_cast<std::size_t>(cw) * ch, 128);
  auto at = [](std::vector<std::uint8_t>& plane, int w, int x, int y) -> std::uint8_t& {
    return plane[static_cast<std::size_t>(y) * w + x];
  };
  std::mt19937 random(1234);
  switch (kind) {
    case Synthetic::kFlatGrey:
      break;
    case Synthetic::kBlack:
      std::fill(f.y.begin(), f.y.end(), 16);
      break;
    case Synthetic::kWhite:
      std::fill(f.y.begin(), f.y.end(), 235);
      break;
    case Synthetic::kGradients:
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) at(f.y, width, x, y) = static_cast<std::uint8_t>(y < height / 2 ? x * 255 / (width - 1) : 255 - y * 255 / (height - 1));
      for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x) {
          at(f.cb, cw, x, y) = static_cast<std::uint8_t>(y * 255 / (ch - 1));
          at(f.cr, cw, x, y) = static_cast<std::uint8_t>(255 - x * 255 / (cw - 1));
        }
      break;
    case Synthetic::kCheckerboard:
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const bool fine = x < width / 2;  // one-pixel squares left, eight-pixel squares right
          const bool on = fine ? ((x + y) & 1) : (((x / 8) + (y / 8)) & 1);
          at(f.y, width, x, y) = on ? 255 : 0;
        }
      for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x) {
          at(f.cb, cw, x, y) = ((x + y) & 1) ? 240 : 16;
          at(f.cr, cw, x, y) = ((x / 4 + y / 4) & 1) ? 16 : 240;
        }
      break;
    case Synthetic::kNoise:
      for (auto* plane : {&f.y, &f.cb, &f.cr})
        for (auto& v : *plane) v = static_cast<std::uint8_t>(random() & 0xff);
      break;
    case Synthetic::kFineText: {
      // Rows of 5x7 "glyphs" of one-pixel strokes, white on near black.
      std::fill(f.y.begin(), f.y.end(), 20);
      for (int top = 8; top + 7 < height; top += 11)
        for (int left = 8; left + 5 < width; left += 7) {
          const std::uint32_t glyph = static_cast<std::uint32_t>(random());
          for (int gy = 0; gy < 7; ++gy)
            for (int gx = 0; gx < 5; ++gx)
              if ((glyph >> ((gy * 5 + gx) % 31)) & 1) at(f.y, width, left + gx, top + gy) = 235;
        }
      for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x) at(f.cr, cw, x, y) = (y / 11) % 2 ? 160 : 128;
      break;
    }
    case Synthetic::kPhotoLike:
      // Smooth shapes with texture: what a photograph asks of the coder.
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const double v = 128 + 60 * std::sin(x / 37.0) * std::cos(y / 23.0) + 30 * std::sin((x + 2 * y) / 5.0) +
                           static_cast<int>(random() % 21) - 10;
          at(f.y, width, x, y) = static_cast<std::uint8_t>(std::clamp(v, 16.0, 235.0));
        }
      for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x) {
          at(f.cb, cw, x, y) = static_cast<std::uint8_t>(128 + 50 * std::sin(x / 50.0));
          at(f.cr, cw, x, y) = static_cast<std::uint8_t>(128 + 50 * std::cos(y / 40.0));
        }
      break;
  }
  return f;
}

namespace {

bool SplitPlanes(const std::string& bytes, std::size_t offset, int width, int height, picture::Planes420& planes) {
  const std::size_t luma = static_cast<std::size_t>(width) * height;
  if (bytes.size() < offset + luma * 3 / 2) return false;
  planes.width = width;
  planes.height = height;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data()) + offset;
  planes.y.assign(data, data + luma);
  planes.cb.assign(data + luma, data + luma * 5 / 4);
  planes.cr.assign(data + luma * 5 / 4, data + luma * 3 / 2);
  return true;
}

}  // namespace

Decoded DecodeWithFfmpeg(const std::string& streamPath, int width, int height) {
  const ProcessResult run = RunProgram({"ffmpeg", "-nostdin", "-hide_banner", "-v", "warning", "-f", "mpegvideo", "-i", streamPath,
                                        "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "yuv420p", "-"});
  Decoded decoded;
  decoded.messages = run.err;
  decoded.ok = run.status == 0 && SplitPlanes(run.out, 0, width, height, decoded.planes) &&
               run.out.size() == static_cast<std::size_t>(width) * height * 3 / 2;
  return decoded;
}

Decoded DecodeWithLibmpeg2(const std::string& streamPath, int width, int height) {
  // pgmpipe: a P5 picture per frame, luma on top, Cb and Cr side by side below.
  const ProcessResult run = RunProgram({"mpeg2dec", "-o", "pgmpipe", streamPath});
  Decoded decoded;
  decoded.messages = run.err;
  const std::string header = "P5\n" + std::to_string(width) + " " + std::to_string(height * 3 / 2) + "\n255\n";
  if (run.status != 0 || run.out.compare(0, header.size(), header) != 0) return decoded;
  const std::size_t luma = static_cast<std::size_t>(width) * height;
  if (run.out.size() < header.size() + luma * 3 / 2) return decoded;
  const auto* data = reinterpret_cast<const std::uint8_t*>(run.out.data()) + header.size();
  decoded.planes.width = width;
  decoded.planes.height = height;
  decoded.planes.y.assign(data, data + luma);
  const int cw = width / 2;
  for (int y = 0; y < height / 2; ++y) {
    const std::uint8_t* row = data + luma + static_cast<std::size_t>(y) * width;
    decoded.planes.cb.insert(decoded.planes.cb.end(), row, row + cw);
    decoded.planes.cr.insert(decoded.planes.cr.end(), row + cw, row + width);
  }
  decoded.ok = true;
  return decoded;
}

double WorstPlanePsnr(const picture::Planes420& a, const picture::Planes420& b) {
  double worst = std::numeric_limits<double>::infinity();
  const std::vector<std::uint8_t>* pa[] = {&a.y, &a.cb, &a.cr};
  const std::vector<std::uint8_t>* pb[] = {&b.y, &b.cb, &b.cr};
  for (int p = 0; p < 3; ++p) {
    if (pa[p]->size() != pb[p]->size() || pa[p]->empty()) return 0;
    double sum = 0;
    for (std::size_t i = 0; i < pa[p]->size(); ++i) {
      const double d = double((*pa[p])[i]) - (*pb[p])[i];
      sum += d * d;
    }
    if (sum > 0) worst = std::min(worst, 10 * std::log10(255.0 * 255.0 * pa[p]->size() / sum));
  }
  return worst;
}

}  // namespace bootlume::test
