#include <gtest/gtest.h>

#include "ui/MainForm.h"
#include "ui/TextLayout.h"
#include "ui/WindowIcon.h"

namespace bootlume {
namespace {

// ASCII 8 pixels wide, anything else 16, as a CJK font at 16 pixels roughly is.
double FixedWidth(std::string_view text) {
  double width = 0;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    width += c < 0x80 ? 8 : 16;
    i += length;
  }
  return width;
}

TEST(TextLayout, SingleLineCaptionsDropLineBreaks) {
  EXPECT_EQ(SingleLineCaption(kOpenButtonText), "打开jpg图片");
  EXPECT_EQ(SingleLineCaption("保存文件"), "保存文件");
  EXPECT_EQ(SingleLineCaption("a\r\nb\n"), "ab");
}

TEST(TextLayout, WrapsTheLabelBetweenChineseCharactersWithoutLineBreakCharacters) {
  const std::vector<std::string> lines = WrapText(kLabelText, 352, FixedWidth);
  ASSERT_GE(lines.size(), 2u);
  std::string joined;
  for (const std::string& line : lines) {
    EXPECT_LE(FixedWidth(line), 352) << line;
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    joined += line;
  }
  EXPECT_EQ(joined, "拖入中六海尔,中九华亚,澜起,dvd,所有没有压缩的数据---Mirelo");
  EXPECT_TRUE(lines.back().empty());  // the stored CR LF ends a line, nothing more
}

TEST(TextLayout, BreakRules) {
  struct Case {
    const char* text;
    double width;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"hello world", 80, {"hello", "world"}},  // at the blank, which goes
      {"hello world", 200, {"hello world"}},
      {"abcdefghij", 40, {"abcde", "fghij"}},  // no opportunity: between characters
      {"中文字", 32, {"中文", "字"}},          // between ideographs
      {"中文,字", 36, {"中", "文,", "字"}},    // never before a comma
      {"ab中", 24, {"ab", "中"}},              // from ASCII to an ideograph
      {"a\r\nb\rc\nd", 100, {"a", "b", "c", "d"}},
      {"", 100, {""}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WrapText(c.text, c.width, FixedWidth), c.lines) << c.text;
  }
}

TEST(WindowIcon, SixtyFourSquareWithTransparentSurroundAndSmoothEdges) {
  const std::vector<std::uint8_t> pixels = WindowIconPixels();
  ASSERT_EQ(pixels.size(), 64u * 64 * 4);
  const auto alpha = [&](int x, int y) { return pixels[(y * 64 + x) * 4 + 3]; };
  EXPECT_EQ(alpha(0, 0), 0);
  EXPECT_EQ(alpha(63, 0), 0);
  EXPECT_EQ(alpha(0, 63), 0);
  EXPECT_EQ(alpha(63, 63), 0);
  EXPECT_EQ(alpha(32, 30), 255);
  int partial = 0, opaque = 0;
  for (int i = 0; i < 64 * 64; ++i) {
    const int a = pixels[i * 4 + 3];
    partial += a > 0 && a < 255;
    opaque += a == 255;
  }
  EXPECT_GT(partial, 20);
  EXPECT_GT(opaque, 64 * 64 / 2);
}

}  // namespace
}  // namespace bootlume
