// R'G'B' to Y'CbCr by ITU-R BT.601 with studio ranges, in exact integer
// arithmetic: with Kr = 0.299 and Kb = 0.114,
//   Y'  = 16  + 219 (299 R + 587 G + 114 B) / (1000 * 255)
//   Cb  = 128 + 224 (-299 R - 587 G + 886 B) / (1772 * 255)
//   Cr  = 128 + 224 (701 R - 587 G - 114 B) / (1402 * 255)
// Each value is rounded once, at the end, so flat colours come out exactly.
//
// Chroma is low-pass filtered onto MPEG-2's 4:2:0 positions before that
// rounding: horizontally on the even luma columns (taps 1 2 1 centred on the
// column), vertically midway between luma rows 2j and 2j+1 (Lanczos2 at half
// rate, rows 2j-3 .. 2j+4). Edges repeat; the vertical filter's small
// negative lobes may overshoot, so results are clamped to 16..240.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "tools/picture/PictureInput.h"

namespace bootlume::picture {
namespace {

constexpr std::array<std::int64_t, 8> kVerticalTaps = {-2, -11, 30, 111, 111, 30, -11, -2};  // rows 2j-3 .. 2j+4
constexpr int kVerticalFirst = -3;
constexpr std::int64_t kFilterGain = 4 * 256;  // 1 2 1 across, the vertical taps down

constexpr std::int32_t kLumaDivisor = 1000 * 255;
constexpr std::int64_t kCbDivisor = 1772 * 255;
constexpr std::int64_t kCrDivisor = 1402 * 255;

// Per-channel tables of the numerators above.
struct ConversionTables {
  std::array<std::int32_t, 256> yR, yG, yB, cbR, cbG, cbB, crR, crG, crB;
  ConversionTables() {
    for (std::int32_t v = 0; v < 256; ++v) {
      const auto i = static_cast<std::size_t>(v);
      yR[i] = 219 * 299 * v;
      yG[i] = 219 * 587 * v;
      yB[i] = 219 * 114 * v;
      cbR[i] = -224 * 299 * v;
      cbG[i] = -224 * 587 * v;
      cbB[i] = 224 * 886 * v;
      crR[i] = 224 * 701 * v;
      crG[i] = -224 * 587 * v;
      crB[i] = -224 * 114 * v;
    }
  }
};

// Filters horizontally filtered chroma rows down to the chroma rows and
// rounds each sum / (divisor * kFilterGain) to nearest, halves upward. The
// sums are integers below 2^53, so doubles hold them exactly; the quotient
// lands far closer to its true value than that lies to the next integer, so
// floor() gives the exactly rounded value, and the loops vectorise.
void FilterDown(const std::vector<std::int32_t>& rows, int chromaHeight, int height, std::size_t halfRow,
                std::int64_t divisor, std::vector<std::uint8_t>& plane) {
  const double scaledDivisor = static_cast<double>(divisor * kFilterGain);
  std::vector<double> sum(halfRow);
  for (int j = 0; j < chromaHeight; ++j) {
    std::fill(sum.begin(), sum.end(), 0.0);
    for (std::size_t t = 0; t < kVerticalTaps.size(); ++t) {
      const int y = std::clamp(2 * j + kVerticalFirst + static_cast<int>(t), 0, height - 1);
      const std::int32_t* in = &rows[static_cast<std::size_t>(y) * halfRow];
      const double tap = static_cast<double>(kVerticalTaps[t]);
      for (std::size_t i = 0; i < halfRow; ++i) sum[i] += tap * in[i];
    }
    std::uint8_t* out = &plane[static_cast<std::size_t>(j) * halfRow];
    for (std::size_t i = 0; i < halfRow; ++i) {
      const double offset = std::floor((2.0 * sum[i] + scaledDivisor) / (2.0 * scaledDivisor));
      out[i] = static_cast<std::uint8_t>(std::clamp(128.0 + offset, 16.0, 240.0));
    }
  }
}

}  // namespace

Planes420 ToPlanes420(const RgbImage& frame) {
  static const ConversionTables tables;
  const int width = frame.width;
  const int height = frame.height;
  const int chromaWidth = width / 2;
  const int chromaHeight = height / 2;
  Planes420 planes;
  planes.width = width;
  planes.height = height;
  planes.y.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  planes.cb.resize(static_cast<std::size_t>(chromaWidth) * static_cast<std::size_t>(chromaHeight));
  planes.cr.resize(planes.cb.size());
  if (chromaWidth == 0 || chromaHeight == 0) return planes;

  // Pass 1, per luma row: Y', and Cb/Cr numerators filtered horizontally
  // onto the even columns (column 2i + 1 always exists; column -1 repeats 0).
  const std::size_t halfRow = static_cast<std::size_t>(chromaWidth);
  std::vector<std::int32_t> cbRows(halfRow * static_cast<std::size_t>(height));
  std::vector<std::int32_t> crRows(cbRows.size());
  std::vector<std::int32_t> cb(static_cast<std::size_t>(width));
  std::vector<std::int32_t> cr(static_cast<std::size_t>(width));
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* rgb = &frame.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3];
    std::uint8_t* luma = &planes.y[static_cast<std::size_t>(y) * static_cast<std::size_t>(width)];
    for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
      const auto r = rgb[3 * x];
      const auto g = rgb[3 * x + 1];
      const auto b = rgb[3 * x + 2];
      luma[x] = static_cast<std::uint8_t>(16 + (tables.yR[r] + tables.yG[g] + tables.yB[b] + kLumaDivisor / 2) / kLumaDivisor);
      cb[x] = tables.cbR[r] + tables.cbG[g] + tables.cbB[b];
      cr[x] = tables.crR[r] + tables.crG[g] + tables.crB[b];
    }
    std::int32_t* cbRow = &cbRows[static_cast<std::size_t>(y) * halfRow];
    std::int32_t* crRow = &crRows[static_cast<std::size_t>(y) * halfRow];
    for (std::size_t i = 0; i < halfRow; ++i) {
      const std::size_t left = i == 0 ? 0 : 2 * i - 1;
      cbRow[i] = cb[left] + 2 * cb[2 * i] + cb[2 * i + 1];
      crRow[i] = cr[left] + 2 * cr[2 * i] + cr[2 * i + 1];
    }
  }

  // Pass 2: vertically onto the midpoints between row pairs, then rounded.
  FilterDown(cbRows, chromaHeight, height, halfRow, kCbDivisor, planes.cb);
  FilterDown(crRows, chromaHeight, height, halfRow, kCrDivisor, planes.cr);
  return planes;
}

}  // namespace bootlume::picture
