#include "tools/encoder/IntraQuantiser.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace bootlume::encoder {

namespace {
constexpr int kReach = 10;
}  // namespace

AcCost QuantiseIntraAc(const Block& coefficients, int scale, double lambda, const AcTable& table, ScanLevels* levels,
                       const ScanOrder& scan) {
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
    const int raster = scan[static_cast<std::size_t>(i)];
    const double magnitude = std::fabs(coefficients[static_cast<std::size_t>(raster)]);
    const double square = magnitude * magnitude;
    zeroDistortion += square;
    // Level 1 reconstructs to `one`; below half of it zero is nearest.
    const int one = DequantiseIntraAc(1, raster, scale);
    if (2 * magnitude <= one) continue;
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
    node.delta[0] = nearestError - square;
    node.candidates = 1;
    if (nearest > 1) {
      const double down = magnitude - DequantiseIntraAc(nearest - 1, raster, scale);
      node.level[1] = nearest - 1;
      node.delta[1] = down * down - square;
      node.candidates = 2;
    }
  }

  // Trellis states: 0 is the start of the block, k + 1 is node k coded last.
  double best[64];
  int position[64];
  int from[64];    // previous state
  int chosen[64];  // candidate index of the node
  best[0] = 0;
  position[0] = 0;
  // States more than kMaxTableRun positions back can only be followed by an
  // escape, whose length does not depend on the run: of those only the
  // cheapest matters.
  int nearFirst = 0;
  int farState = -1;
  for (int k = 0; k < count; ++k) {
    const Node& node = nodes[k];
    const int state = k + 1;
    position[state] = node.position;
    while (nearFirst < state && node.position - position[nearFirst] - 1 > kMaxTableRun) {
      if (farState < 0 || best[nearFirst] < best[farState]) farState = nearFirst;
      ++nearFirst;
    }
    double bestCost = std::numeric_limits<double>::infinity();
    for (int c = 0; c < node.candidates; ++c) {
      const std::uint8_t* lengths = table.LengthsByRun(node.level[c]);
      const double delta = node.delta[c];
      if (farState >= 0) {
        const double cost = best[farState] + delta + lambda * kEscapeLength;
        if (cost < bestCost) {
          bestCost = cost;
          from[state] = farState;
          chosen[state] = c;
        }
      }
      // Skipping more than a few coded coefficients never pays: the start of
      // the block and the last kReach nodes are the predecessors tried.
      if (nearFirst == 0 && state > kReach) {
        const double cost = best[0] + delta + lambda * lengths[node.position - 1];
        if (cost < bestCost) {
          bestCost = cost;
          from[state] = 0;
          chosen[state] = c;
        }
      }
      for (int previous = std::max(nearFirst, state - kReach); previous < state; ++previous) {
        const double cost = best[previous] + delta + lambda * lengths[node.position - position[previous] - 1];
        if (cost < bestCost) {
          bestCost = cost;
          from[state] = previous;
          chosen[state] = c;
        }
      }
    }
    best[state] = bestCost;
  }
  int last = 0;
  for (int state = 1; state <= count; ++state) {
    if (best[state] < best[last]) last = state;
  }

  AcCost result;
  result.bits = table.endOfBlock.length;
  double distortion = zeroDistortion;
  if (levels) levels->fill(0);
  for (int state = last; state > 0; state = from[state]) {
    const Node& node = nodes[state - 1];
    const int level = node.level[chosen[state]];
    result.bits += table.PairLength(node.position - position[from[state]] - 1, level);
    distortion += node.delta[chosen[state]];
    if (levels) {
      const float sign = coefficients[scan[static_cast<std::size_t>(node.position)]];
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
