// The window's icon, drawn by the program itself.
#pragma once

#include <cstdint>
#include <vector>

namespace bootlume {

inline constexpr int kWindowIconSize = 64;

// 64 x 64 pixels of R, G, B, A (top row first): a receiver's screen showing a
// sunrise on a small stand, with a transparent surround and smoothed edges.
std::vector<std::uint8_t> WindowIconPixels();

}  // namespace bootlume
