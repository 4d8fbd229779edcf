#include "tools/encoder/IntraQuantiser.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace bootlume::encoder {

AcCost QuantiseIntraAc(const Block& coefficients, int scale, double lambda, const AcTable& table, ScanLevels* levels) {
  // Nodes: scan positions whose nearest level is not zero, each with up to
  // two candidate levels (nearest and one below). The trellis state is the
  // last coded position; best[k] is the cheapest cost of coding node k last,
  // counted as the change from sending every coefficient as zero.
  struct Node {
    int position;
    int level[2];
    int candidates;
    double delta[2];  // distortion change against a zero coefficient
  };
  Node nodes[63];
  int count = 0;
  double zeroDistortion = 0;
  for (int i = 1; i < 64; ++i) {
    const int raster = kZigzag[static_cast<std::size_t>(i)];
    const double magnitude = std::fabs(coefficients[static_cast<std::size_t>(raster)]);
    zeroDistortion += magnitude * magnitude;
    const int weight = kDefaultIntraMatrix[static_cast<std::size_t>(raster)] * scale;  // step * 16
    int low = static_cast<int>(magnitude * 16.0 / weight);
    if (low > kMaxEscapeLevel) low = kMaxEscapeLevel;
    // Reconstruction truncates, so the nearest level is low or low + 1.
    int nearest = low;
    double nearestError = magnitude - DequantiseIntraAc(low, raster, scale);
    nearestError *= nearestError;
    if (low < kMaxEscapeLevel) {
      const double up = DequantiseIntraAc(low + 1, raster, scale) - magnitude;
      if (up * up < nearestError) {
        nearest = low + 1;
        nearestError = up * up;
      }
    }
    if (nearest == 0) continue;
    Node& node = nodes[count++];
    node.position = i;
    node.level[0] = nearest;
    node.delta[0] = nearestError - magnitude * magnitude;
    node.candidates = 1;
    if (nearest > 1) {
      const double down = magnitude - DequantiseIntraAc(nearest - 1, raster, scale);
      node.level[1] = nearest - 1;
      node.delta[1] = down * down - magnitude * magnitude;
      node.candidates = 2;
    }
  }

  double best[64];
  int from[64];    // predecessor node, -1 for the start of the block
  int chosen[64];  // candidate index
  for (int k = 0; k < count; ++k) {
    const Node& node = nodes[k];
    double bestCost = std::numeric_limits<double>::infinity();
    for (int j = -1; j < k; ++j) {
      const double before = j < 0 ? 0.0 : best[j];
      const int run = node.position - (j < 0 ? 0 : nodes[j].position) - 1;
      for (int c = 0; c < node.candidates; ++c) {
        const double cost = before + node.delta[c] + lambda * table.PairLength(run, node.level[c]);
        if (cost < bestCost) {
          bestCost = cost;
          from[k] = j;
          chosen[k] = c;
        }
      }
    }
    best[k] = bestCost;
  }
  int last = -1;
  double lastCost = 0;
  for (int k = 0; k < count; ++k) {
    if (best[k] < lastCost) {
      lastCost = best[k];
      last = k;
    }
  }

  AcCost result;
  result.bits = table.endOfBlock.length;
  double distortion = zeroDistortion;
  if (levels) levels->fill(0);
  for (int k = last; k >= 0; k = from[k]) {
    const Node& node = nodes[k];
    const int previous = from[k] < 0 ? 0 : nodes[from[k]].position;
    const int level = node.level[chosen[k]];
    result.bits += table.PairLength(node.position - previous - 1, level);
    distortion += node.delta[chosen[k]];
    if (levels) {
      const float sign = coefficients[kZigzag[static_cast<std::size_t>(node.position)]];
      (*levels)[static_cast<std::size_t>(node.position)] = static_cast<std::int16_t>(sign < 0 ? -level : level);
    }
  }
  result.distortion = static_cast<float>(std::max(0.0, distortion));
  return result;
}

AcCost ZeroAcCost(const Block& coefficients, const AcTable& table) {
  double energy = 0;
  for (int i = 1; i < 64; ++i) energy += double(coefficients[static_cast<std::size_t>(i)]) * coefficients[static_cast<std::size_t>(i)];
  return {table.endOfBlock.length, static_cast<float>(energy)};
}

int QuantiseIntraDc(float dcCoefficient, int precision) {
  const int maximum = (256 << precision) - 1;
  const int level = static_cast<int>(std::lround(dcCoefficient / DcMultiplier(precision)));
  return std::clamp(level, 0, maximum);
}

}  // namespace bootlume::encoder
