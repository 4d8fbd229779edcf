#include "tools/encoder/Dct.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace bootlume::encoder {
namespace {

// basis[u][x] = c(u) / 2 * cos((2x + 1) u pi / 16), c(0) = 1 / sqrt(2).
struct Basis {
  double at[8][8];
  Basis() {
    for (int u = 0; u < 8; ++u) {
      const double scale = u == 0 ? std::sqrt(0.125) : 0.5;
      for (int x = 0; x < 8; ++x) at[u][x] = scale * std::cos((2 * x + 1) * u * std::numbers::pi / 16.0);
    }
  }
};

const Basis& TheBasis() {
  static const Basis basis;
  return basis;
}

}  // namespace

void ForwardDct(const std::uint8_t* samples, int stride, Block& coefficients) {
  const Basis& b = TheBasis();
  double rows[8][8];  // rows[y][u]: each row transformed horizontally
  for (int y = 0; y < 8; ++y) {
    const std::uint8_t* line = samples + static_cast<std::ptrdiff_t>(y) * stride;
    for (int u = 0; u < 8; ++u) {
      double sum = 0;
      for (int x = 0; x < 8; ++x) sum += b.at[u][x] * line[x];
      rows[y][u] = sum;
    }
  }
  for (int v = 0; v < 8; ++v) {
    for (int u = 0; u < 8; ++u) {
      double sum = 0;
      for (int y = 0; y < 8; ++y) sum += b.at[v][y] * rows[y][u];
      coefficients[static_cast<std::size_t>(v * 8 + u)] = static_cast<float>(sum);
    }
  }
}

void InverseDct(const std::array<std::int32_t, 64>& coefficients, std::uint8_t* samples, int stride) {
  const Basis& b = TheBasis();
  double columns[8][8];  // columns[y][u]: vertical inverse first
  for (int y = 0; y < 8; ++y) {
    for (int u = 0; u < 8; ++u) {
      double sum = 0;
      for (int v = 0; v < 8; ++v) sum += b.at[v][y] * coefficients[static_cast<std::size_t>(v * 8 + u)];
      columns[y][u] = sum;
    }
  }
  for (int y = 0; y < 8; ++y) {
    std::uint8_t* line = samples + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < 8; ++x) {
      double sum = 0;
      for (int u = 0; u < 8; ++u) sum += b.at[u][x] * columns[y][u];
      line[x] = static_cast<std::uint8_t>(std::clamp(std::lround(sum), 0L, 255L));
    }
  }
}

}  // namespace bootlume::encoder
