#include <gtest/gtest.h>

#include "platform/CommandLine.h"

namespace bootlume {
namespace {

using Arguments = std::vector<std::string>;

TEST(SplitCommandLine, SplitsAtBlanksWithQuotesGrouping) {
  const struct {
    const char* line;
    Arguments expected;
  } cases[] = {
      {"/w/ffmpge.exe -i /w/1.mpg -y", {"/w/ffmpge.exe", "-i", "/w/1.mpg", "-y"}},
      {"  a   b\tc  ", {"a", "b", "c"}},
      {"\"/my dir/tool\" -o \"x y\"", {"/my dir/tool", "-o", "x y"}},
      {"a \"\" b", {"a", "", "b"}},
      {"a;rm -rf /", {"a;rm", "-rf", "/"}},
      {"", {}},
      {"   ", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.expected) << c.line;
}

TEST(QuoteArgument, RoundTripsThroughSplit) {
  for (std::string argument : {"plain", "with blank", "", "tab\there", "中文 名.jpg"}) {
    EXPECT_EQ(SplitCommandLine("tool " + QuoteArgument(argument)), (Arguments{"tool", argument}));
  }
  EXPECT_EQ(QuoteArgument("/w/1.mpg"), "/w/1.mpg");
}

}  // namespace
}  // namespace bootlume
