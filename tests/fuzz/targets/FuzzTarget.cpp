// A libFuzzer program for one check of tests/fuzz/checks, named at build time: a
// property that does not hold aborts, so that libFuzzer keeps the input.
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/checks/FuzzChecks.h"

namespace {

const bootlume::fuzz::FuzzCheck& TheCheck() {
  static const bootlume::fuzz::FuzzCheck* check = bootlume::fuzz::FindFuzzCheck(BOOTLUME_FUZZ_CHECK);
  if (check == nullptr) {
    std::fprintf(stderr, "no check named %s\n", BOOTLUME_FUZZ_CHECK);
    std::abort();
  }
  return *check;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const bootlume::fuzz::CheckResult result = TheCheck().check(bootlume::ByteView(data, size));
  if (!result.Passed()) {
    std::fprintf(stderr, "\nPROPERTY FAILED in %s: %s\n", BOOTLUME_FUZZ_CHECK, result.Failure().c_str());
    std::abort();
  }
  return 0;
}
