// Separable resampling: a vertical pass from the 8-bit source into 16-bit
// rows of the target height (6 fractional bits), then a horizontal pass into
// 8-bit pixels. Reducing uses Lanczos3 widened by the reduction factor, so
// that every source pixel contributes (no aliasing); enlarging uses the
// Catmull-Rom cubic. Weights are fixed-point, precomputed per output
// position, and sum exactly to one, so a flat picture stays exactly flat.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "tools/picture/PictureInput.h"

// The two passes are plain loops that the compiler vectorises (this file is
// built with -O3); on x86-64 they are also built for AVX2 and picked at run
// time. Integer arithmetic: every variant gives the same pixels.
#if defined(__x86_64__) && defined(__GNUC__)
#define BOOTLUME_VECTOR_CLONES [[gnu::target_clones("avx2", "default")]]
#else
#define BOOTLUME_VECTOR_CLONES
#endif

namespace bootlume::picture {
namespace {

constexpr int kWeightBits = 14;
constexpr int kIntermediateBits = 6;  // fractional bits kept between the passes
constexpr int kVerticalShift = kWeightBits - kIntermediateBits;
constexpr int kHorizontalShift = kWeightBits + kIntermediateBits;

double Sinc(double x) {
  if (x == 0.0) return 1.0;
  x *= std::numbers::pi;
  return std::sin(x) / x;
}

double Lanczos3(double x) {
  x = std::fabs(x);
  return x < 3.0 ? Sinc(x) * Sinc(x / 3.0) : 0.0;
}

double CatmullRom(double x) {
  x = std::fabs(x);
  if (x < 1.0) return (1.5 * x - 2.5) * x * x + 1.0;
  if (x < 2.0) return ((-0.5 * x + 2.5) * x - 4.0) * x + 2.0;
  return 0.0;
}

// For every output position along one direction: the first source index and
// `taps` weights (zero-padded) that sum to 1 << kWeightBits.
struct Kernel {
  int taps = 0;
  std::vector<int> first;
  std::vector<std::int16_t> weights;  // output positions x taps
};

Kernel MakeKernel(int source, int target) {
  const double scale = static_cast<double>(source) / target;
  const bool reducing = scale > 1.0;
  const double stretch = reducing ? scale : 1.0;
  const double support = (reducing ? 3.0 : 2.0) * stretch;
  double (*const filter)(double) = reducing ? Lanczos3 : CatmullRom;

  Kernel kernel;
  kernel.taps = std::min(source, 2 * static_cast<int>(std::ceil(support)) + 1);
  kernel.first.resize(static_cast<std::size_t>(target));
  kernel.weights.assign(static_cast<std::size_t>(target) * static_cast<std::size_t>(kernel.taps), 0);
  std::vector<double> exact(static_cast<std::size_t>(kernel.taps));
  for (int i = 0; i < target; ++i) {
    // Pixel centres: output i sits at source coordinate (i + 0.5) * scale - 0.5.
    const double centre = (i + 0.5) * scale - 0.5;
    const int low = std::max(0, static_cast<int>(std::ceil(centre - support)));
    const int high = std::min(source - 1, static_cast<int>(std::floor(centre + support)));
    const int count = std::min(high - low + 1, kernel.taps);
    // The window may not run past the source: shift it left and pad.
    const int first = std::min(low, source - kernel.taps);
    double sum = 0.0;
    for (int j = 0; j < count; ++j) {
      exact[static_cast<std::size_t>(j)] = filter((low + j - centre) / stretch);
      sum += exact[static_cast<std::size_t>(j)];
    }
    std::int16_t* weights = &kernel.weights[static_cast<std::size_t>(i) * static_cast<std::size_t>(kernel.taps)];
    int total = 0;
    int largest = low - first;
    for (int j = 0; j < count; ++j) {
      const int weight = static_cast<int>(std::lround(exact[static_cast<std::size_t>(j)] / sum * (1 << kWeightBits)));
      weights[low - first + j] = static_cast<std::int16_t>(weight);
      total += weight;
      if (weight > weights[largest]) largest = low - first + j;
    }
    // Rounding leftovers go to the heaviest tap: the weights sum exactly to one.
    weights[largest] = static_cast<std::int16_t>(weights[largest] + (1 << kWeightBits) - total);
    kernel.first[static_cast<std::size_t>(i)] = first;
  }
  return kernel;
}

// Source rows (8-bit) to `kernel`'s output rows, 16-bit with kIntermediateBits.
BOOTLUME_VECTOR_CLONES std::vector<std::int16_t> ResampleColumns(const RgbImage& source, const Kernel& kernel, int height) {
  const std::size_t rowLength = static_cast<std::size_t>(source.width) * 3;
  std::vector<std::int16_t> rows(rowLength * static_cast<std::size_t>(height));
  std::vector<std::int32_t> sum(rowLength);
  for (int y = 0; y < height; ++y) {
    std::fill(sum.begin(), sum.end(), 1 << (kVerticalShift - 1));
    for (int t = 0; t < kernel.taps; ++t) {
      const std::int16_t weight = kernel.weights[static_cast<std::size_t>(y * kernel.taps + t)];
      if (weight == 0) continue;
      const std::uint8_t* in = &source.pixels[static_cast<std::size_t>(kernel.first[static_cast<std::size_t>(y)] + t) * rowLength];
      // 16 x 16 -> 32-bit products: the form vector units multiply best.
      for (std::size_t i = 0; i < rowLength; ++i) sum[i] += static_cast<std::int16_t>(in[i]) * weight;
    }
    std::int16_t* out = &rows[static_cast<std::size_t>(y) * rowLength];
    for (std::size_t i = 0; i < rowLength; ++i) out[i] = static_cast<std::int16_t>(sum[i] >> kVerticalShift);
  }
  return rows;
}

// 16-bit rows of `sourceWidth` pixels to 8-bit rows of `kernel`'s width.
BOOTLUME_VECTOR_CLONES void ResampleRows(const std::vector<std::int16_t>& rows, int sourceWidth, const Kernel& kernel, RgbImage& target) {
  const std::size_t inLength = static_cast<std::size_t>(sourceWidth) * 3;
  const std::size_t outLength = static_cast<std::size_t>(target.width) * 3;
  for (int y = 0; y < target.height; ++y) {
    const std::int16_t* in = &rows[static_cast<std::size_t>(y) * inLength];
    std::uint8_t* out = &target.pixels[static_cast<std::size_t>(y) * outLength];
    for (int x = 0; x < target.width; ++x) {
      const std::int16_t* weights = &kernel.weights[static_cast<std::size_t>(x * kernel.taps)];
      const std::int16_t* pixel = in + static_cast<std::size_t>(kernel.first[static_cast<std::size_t>(x)]) * 3;
      std::int32_t r = 1 << (kHorizontalShift - 1);
      std::int32_t g = r;
      std::int32_t b = r;
      for (int t = 0; t < kernel.taps; ++t) {
        r += pixel[3 * t] * weights[t];
        g += pixel[3 * t + 1] * weights[t];
        b += pixel[3 * t + 2] * weights[t];
      }
      out[3 * x] = static_cast<std::uint8_t>(std::clamp(r >> kHorizontalShift, 0, 255));
      out[3 * x + 1] = static_cast<std::uint8_t>(std::clamp(g >> kHorizontalShift, 0, 255));
      out[3 * x + 2] = static_cast<std::uint8_t>(std::clamp(b >> kHorizontalShift, 0, 255));
    }
  }
}

}  // namespace

RgbImage ResizeRgb(const RgbImage& source, int width, int height) {
  if (source.width == width && source.height == height) return source;
  RgbImage target;
  if (width <= 0 || height <= 0 || source.width <= 0 || source.height <= 0) return target;
  target.width = width;
  target.height = height;
  target.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  const std::vector<std::int16_t> rows = ResampleColumns(source, MakeKernel(source.height, height), height);
  ResampleRows(rows, source.width, MakeKernel(source.width, width), target);
  return target;
}

}  // namespace bootlume::picture
