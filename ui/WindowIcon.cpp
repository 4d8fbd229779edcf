#include "ui/WindowIcon.h"

#include <algorithm>
#include <cmath>

namespace bootlume {
namespace {

struct Colour {
  double r = 0, g = 0, b = 0, a = 0;
};

bool InRoundedRect(double x, double y, double left, double top, double right, double bottom, double radius) {
  if (x < left || x > right || y < top || y > bottom) return false;
  const double cx = std::clamp(x, left + radius, right - radius);
  const double cy = std::clamp(y, top + radius, bottom - radius);
  return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
}

double Mix(double a, double b, double t) { return a + (b - a) * t; }

// The colour at one point of the 64 x 64 canvas.
Colour Sample(double x, double y) {
  if (InRoundedRect(x, y, 9, 13, 55, 46, 3)) {
    const double t = (y - 13) / 33;  // sky from night blue to dawn orange
    Colour sky{Mix(24, 250, t * t), Mix(44, 150, t * t), Mix(120, 60, t), 1};
    const double sunDx = x - 32, sunDy = y - 41;
    if (sunDx * sunDx + sunDy * sunDy <= 81) sky = {255, 224, 90, 1};
    if (y >= 41) sky = {30, 60, 40, 1};  // dark land below the horizon
    return sky;
  }
  if (InRoundedRect(x, y, 4, 8, 60, 51, 6)) return {48, 52, 60, 1};     // cabinet
  if (x >= 27 && x <= 37 && y > 51 && y <= 56) return {80, 84, 92, 1};  // neck
  if (InRoundedRect(x, y, 16, 55, 48, 60, 2)) return {64, 68, 76, 1};   // foot
  return {};
}

}  // namespace

std::vector<std::uint8_t> WindowIconPixels() {
  constexpr int kSamples = 4;  // per axis, for smooth edges
  std::vector<std::uint8_t> pixels(kWindowIconSize * kWindowIconSize * 4);
  for (int y = 0; y < kWindowIconSize; ++y) {
    for (int x = 0; x < kWindowIconSize; ++x) {
      Colour sum;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const Colour c = Sample(x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples);
          sum.r += c.r * c.a, sum.g += c.g * c.a, sum.b += c.b * c.a, sum.a += c.a;
        }
      }
      std::uint8_t* out = &pixels[(y * kWindowIconSize + x) * 4];
      const double n = kSamples * kSamples;
      if (sum.a > 0) {
        out[0] = static_cast<std::uint8_t>(std::lround(sum.r / sum.a));
        out[1] = static_cast<std::uint8_t>(std::lround(sum.g / sum.a));
        out[2] = static_cast<std::uint8_t>(std::lround(sum.b / sum.a));
      }
      out[3] = static_cast<std::uint8_t>(std::lround(255 * sum.a / n));
    }
  }
  return pixels;
}

}  // namespace bootlume
