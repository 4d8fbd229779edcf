#include "ui/PictureScaling.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace bootlume {
namespace {

// The source samples and weights that make up one target sample.
struct Contribution {
  int first = 0;               // first source index
  std::vector<float> weights;  // for first, first + 1, ...
};

std::vector<Contribution> Contributions(int sourceSize, int targetSize) {
  const double scale = static_cast<double>(sourceSize) / targetSize;
  const double support = std::max(1.0, scale);
  std::vector<Contribution> result(static_cast<std::size_t>(targetSize));
  for (int i = 0; i < targetSize; ++i) {
    const double centre = (i + 0.5) * scale - 0.5;
    int low = static_cast<int>(std::ceil(centre - support));
    int high = static_cast<int>(std::floor(centre + support));
    low = std::max(low, 0);
    high = std::min(high, sourceSize - 1);
    Contribution& c = result[static_cast<std::size_t>(i)];
    c.first = low;
    double total = 0;
    for (int j = low; j <= high; ++j) {
      const double w = std::max(0.0, 1.0 - std::fabs(j - centre) / support);
      c.weights.push_back(static_cast<float>(w));
      total += w;
    }
    if (total <= 0) {  // centre outside the source: take the nearest edge
      c.first = std::clamp(static_cast<int>(std::lround(centre)), 0, sourceSize - 1);
      c.weights.assign(1, 1.0f);
      continue;
    }
    for (float& w : c.weights) w = static_cast<float>(w / total);
  }
  return result;
}

}  // namespace

RgbPicture ScalePicture(const RgbPicture& source, int width, int height) {
  RgbPicture target;
  if (source.empty() || width <= 0 || height <= 0) return target;
  const std::vector<Contribution> columns = Contributions(source.width, width);
  const std::vector<Contribution> rows = Contributions(source.height, height);

  // Horizontal pass into floats, one row of the source at a time.
  std::vector<float> wide(static_cast<std::size_t>(width) * source.height * 3);
  for (int y = 0; y < source.height; ++y) {
    float* out = wide.data() + static_cast<std::size_t>(y) * width * 3;
    for (int x = 0; x < width; ++x, out += 3) {
      const Contribution& c = columns[static_cast<std::size_t>(x)];
      float r = 0, g = 0, b = 0;
      const std::uint8_t* in = source.Pixel(c.first, y);
      for (float w : c.weights) {
        r += w * in[0], g += w * in[1], b += w * in[2];
        in += 3;
      }
      out[0] = r, out[1] = g, out[2] = b;
    }
  }

  // Vertical pass into the result.
  target.width = width;
  target.height = height;
  target.pixels.resize(static_cast<std::size_t>(width) * height * 3);
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    const Contribution& c = rows[static_cast<std::size_t>(y)];
    std::uint8_t* out = target.pixels.data() + static_cast<std::size_t>(y) * stride;
    for (std::size_t i = 0; i < stride; ++i) {
      const float* in = wide.data() + static_cast<std::size_t>(c.first) * stride + i;
      float sum = 0;
      for (float w : c.weights) {
        sum += w * *in;
        in += stride;
      }
      out[i] = static_cast<std::uint8_t>(std::clamp(std::lround(sum), 0L, 255L));
    }
  }
  return target;
}

}  // namespace bootlume
