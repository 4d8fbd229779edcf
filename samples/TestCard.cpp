#include "samples/TestCard.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace bootlume::samples {
namespace {

struct Colour {
  std::uint8_t r, g, b;
};

void Put(Canvas& canvas, int x, int y, Colour c) {
  if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) return;
  std::uint8_t* pixel = &canvas.rgb[(static_cast<std::size_t>(y) * canvas.width + x) * 3];
  pixel[0] = c.r;
  pixel[1] = c.g;
  pixel[2] = c.b;
}

void FillRect(Canvas& canvas, int x0, int y0, int x1, int y1, Colour c) {
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) Put(canvas, x, y, c);
  }
}

Canvas Blank(int width, int height) {
  return {width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
}

// 5x7 letters of the word drawn on the card, one row per byte, bit 4 leftmost.
std::array<std::uint8_t, 7> Glyph(char letter) {
  switch (letter) {
    case 'B':
      return {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E};
    case 'O':
      return {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E};
    case 'T':
      return {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04};
    case 'L':
      return {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F};
    case 'U':
      return {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E};
    case 'M':
      return {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11};
    case 'E':
      return {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F};
    default:
      return {};
  }
}

void DrawWord(Canvas& canvas, std::string_view word, int x, int y, int scale, Colour c) {
  for (char letter : word) {
    const auto rows = Glyph(letter);
    for (int row = 0; row < 7; ++row) {
      for (int column = 0; column < 5; ++column) {
        if (rows[row] & (0x10 >> column)) {
          FillRect(canvas, x + column * scale, y + row * scale, x + (column + 1) * scale, y + (row + 1) * scale, c);
        }
      }
    }
    x += 6 * scale;
  }
}

}  // namespace

Canvas DrawTestCard(int width, int height) {
  Canvas card = Blank(width, height);
  static constexpr Colour kBars[] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                                     {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {16, 16, 16}};
  const int barsBottom = height * 7 / 12;
  for (int i = 0; i < 8; ++i) FillRect(card, width * i / 8, 0, width * (i + 1) / 8, barsBottom, kBars[i]);
  // Grey ramp, then a band of fine checkerboard and a black floor.
  const int rampBottom = height * 9 / 12;
  for (int x = 0; x < width; ++x) {
    const auto level = static_cast<std::uint8_t>(x * 255 / (width - 1));
    FillRect(card, x, barsBottom, x + 1, rampBottom, {level, level, level});
  }
  for (int y = rampBottom; y < height * 10 / 12; ++y) {
    for (int x = 0; x < width; ++x) Put(card, x, y, ((x / 2 + y / 2) & 1) ? Colour{235, 235, 235} : Colour{20, 20, 20});
  }
  FillRect(card, 0, height * 10 / 12, width, height, {12, 12, 40});
  // A circle across the bars, as a check of the aspect ratio.
  const double radius = height * 0.4;
  for (int a = 0; a < 4000; ++a) {
    const double angle = a * 2 * M_PI / 4000;
    for (int t = -2; t <= 2; ++t) {
      Put(card, static_cast<int>(width / 2 + (radius + t) * std::cos(angle)),
          static_cast<int>(height * 0.45 + (radius + t) * std::sin(angle)), {255, 255, 255});
    }
  }
  const int scale = std::max(2, width / 90);
  const int wordWidth = 8 * 6 * scale;
  DrawWord(card, "BOOTLUME", (width - wordWidth) / 2, height * 10 / 12 + scale * 2, scale, {255, 210, 60});
  return card;
}

Canvas DrawSkyline(int width, int height) {
  Canvas sky = Blank(width, height);
  for (int y = 0; y < height; ++y) {
    const double t = static_cast<double>(y) / height;
    const Colour c{static_cast<std::uint8_t>(30 + 200 * t), static_cast<std::uint8_t>(20 + 90 * t),
                   static_cast<std::uint8_t>(90 - 40 * t)};
    FillRect(sky, 0, y, width, y + 1, c);
  }
  const double sunX = width * 0.7, sunY = height * 0.55, sunR = height * 0.12;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (std::hypot(x - sunX, y - sunY) < sunR) Put(sky, x, y, {255, 220, 120});
    }
  }
  // Buildings of pseudo-random heights with lit windows.
  unsigned seed = 12345;
  for (int x = 0; x < width;) {
    seed = seed * 1103515245 + 12345;
    const int w = width / 24 + static_cast<int>(seed >> 16) % (width / 16);
    const int h = height / 6 + static_cast<int>(seed >> 8) % (height / 3);
    FillRect(sky, x, height - h, x + w - 2, height, {18, 14, 30});
    for (int wy = height - h + 8; wy < height - 8; wy += 14) {
      for (int wx = x + 5; wx < x + w - 8; wx += 10) {
        if (((wx * 7 + wy * 13) ^ static_cast<int>(seed)) % 3 == 0)
          FillRect(sky, wx, wy, wx + 4, wy + 6, {250, 200, 90});
      }
    }
    x += w;
  }
  return sky;
}

std::vector<std::uint8_t> EncodeBmp(const Canvas& canvas) {
  const int rowBytes = (canvas.width * 3 + 3) & ~3;
  const std::uint32_t pixelBytes = static_cast<std::uint32_t>(rowBytes) * canvas.height;
  std::vector<std::uint8_t> file;
  auto put16 = [&](std::uint32_t v) {
    file.push_back(v & 0xFF);
    file.push_back((v >> 8) & 0xFF);
  };
  auto put32 = [&](std::uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  file.push_back('B');
  file.push_back('M');
  put32(54 + pixelBytes);
  put32(0);
  put32(54);
  put32(40);
  put32(static_cast<std::uint32_t>(canvas.width));
  put32(static_cast<std::uint32_t>(canvas.height));  // positive: bottom-up rows
  put16(1);
  put16(24);
  put32(0);
  put32(pixelBytes);
  put32(2835);
  put32(2835);
  put32(0);
  put32(0);
  for (int y = canvas.height - 1; y >= 0; --y) {
    for (int x = 0; x < canvas.width; ++x) {
      const std::uint8_t* pixel = &canvas.rgb[(static_cast<std::size_t>(y) * canvas.width + x) * 3];
      file.push_back(pixel[2]);
      file.push_back(pixel[1]);
      file.push_back(pixel[0]);
    }
    for (int pad = canvas.width * 3; pad < rowBytes; ++pad) file.push_back(0);
  }
  return file;
}

}  // namespace bootlume::samples
