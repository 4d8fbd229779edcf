// Every input that once made a fuzz target fail, run through that target's
// check again: tests/fuzz/regressions/<check>/. The empty input and a few
// bytes of every value go through each check as well.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

#include "tests/fuzz/checks/FuzzChecks.h"
#include "tests/support/TestSupport.h"

namespace bootlume::fuzz {

// The check's name in the test log, rather than the bytes of its struct.
void PrintTo(const FuzzCheck& check, std::ostream* out) { *out << check.name; }

namespace {

namespace fs = std::filesystem;

class FuzzRegression : public testing::TestWithParam<FuzzCheck> {};

TEST_P(FuzzRegression, InputsThatOnceFailedPass) {
  const FuzzCheck& check = GetParam();
  const fs::path folder = fs::path(test::SourceDir()) / "tests/fuzz/regressions" / check.name;
  std::vector<fs::path> inputs;
  if (fs::is_directory(folder)) {
    for (const auto& entry : fs::directory_iterator(folder)) inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  for (const fs::path& input : inputs) {
    const CheckResult result = check.check(test::ReadFileBytes(input.string()));
    EXPECT_TRUE(result.Passed()) << input.filename() << ": " << result.Failure();
  }
}

TEST_P(FuzzRegression, SmallInputsPass) {
  const FuzzCheck& check = GetParam();
  std::vector<ByteBuffer> inputs{ByteBuffer()};
  for (int value = 0; value < 256; value += 51) {
    ByteBuffer bytes;
    bytes.AppendRepeated(static_cast<Byte>(value), 12);
    inputs.push_back(bytes);
  }
  for (const ByteBuffer& input : inputs) {
    const CheckResult result = check.check(input);
    EXPECT_TRUE(result.Passed()) << input.size() << " bytes: " << result.Failure();
  }
}

INSTANTIATE_TEST_SUITE_P(EveryCheck, FuzzRegression, testing::ValuesIn(AllFuzzChecks()),
                         [](const testing::TestParamInfo<FuzzCheck>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace bootlume::fuzz
