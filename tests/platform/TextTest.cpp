#include <gtest/gtest.h>

#include <cfenv>

#include "platform/Text.h"

namespace bootlume {
namespace {

TEST(Text, AbsentEqualsEmptyAndConcatAlwaysGivesAText) {
  EXPECT_EQ(Text(), Text(""));
  EXPECT_EQ(TextLength(Text()), 0);
  const Text joined = ConcatText({Text(), Text()});
  EXPECT_EQ(joined, Text(""));
  EXPECT_STREQ(joined.CStr(), "");
  EXPECT_EQ(ConcatText({"d:/temp/", "ffmpge.exe -i ", "x"}), Text("d:/temp/ffmpge.exe -i x"));
}

TEST(Text, KeepsWhatComesBeforeANul) {
  EXPECT_EQ(Text(std::string_view("ab\0cd", 5)), Text("ab"));
  EXPECT_EQ(TextLength("修改"), 6);  // UTF-8 bytes
}

TEST(NumberToText, WritesIntegralValuesAsPlainDecimals) {
  const struct {
    double number;
    const char* text;
  } cases[] = {{1004.0, "1004"}, {123456.0, "123456"}, {-96.0, "-96"}, {0.0, "0"}, {2147483647.0, "2147483647"},
               {0.5, "0.5"},     {1e13, "1e+13"}};
  for (const auto& c : cases) EXPECT_EQ(NumberToText(c.number), Text(c.text)) << c.text;
}

TEST(TruncateToInteger, DiscardsTheFractionTowardZeroInEveryRoundingMode) {
  for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    std::fesetround(mode);
    EXPECT_EQ(TruncateToInteger(3.9), 3);
    EXPECT_EQ(TruncateToInteger(-3.9), -3);
    EXPECT_EQ(TruncateToInteger(-2.5), -2);
  }
  std::fesetround(FE_TONEAREST);
  EXPECT_EQ(TruncateToInteger(1e300), INT64_MAX);
  EXPECT_EQ(TruncateToInteger(-1e300), INT64_MIN);
  EXPECT_EQ(TruncateToInteger(0.0 / 0.0), 0);
}

}  // namespace
}  // namespace bootlume
