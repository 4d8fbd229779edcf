// The properties the fuzz targets check on every input. Each check runs the
// system's code on one arbitrary input and says whether what came out is
// sound, not merely whether it survived. The fuzz targets (tests/fuzz/targets/)
// and the regression test that replays inputs which once failed
// (tests/fuzz/) call the same functions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/ByteBuffer.h"

namespace bootlume::fuzz {

// What a check found: nothing, or the first property that does not hold.
class CheckResult {
 public:
  static CheckResult Pass() { return CheckResult(); }
  static CheckResult Fail(std::string why) {
    CheckResult result;
    result.failure_ = std::move(why);
    return result;
  }
  bool Passed() const { return failure_.empty(); }
  const std::string& Failure() const { return failure_; }

 private:
  std::string failure_;
};

using CheckFunction = CheckResult (*)(ByteView input);

struct FuzzCheck {
  const char* name;  // also the target's and its corpus folder's name
  CheckFunction check;
};

// Every check, in a fixed order.
const std::vector<FuzzCheck>& AllFuzzChecks();

// The check of that name, or null.
const FuzzCheck* FindFuzzCheck(std::string_view name);

// The checks themselves; see each one's source for its properties.
CheckResult CheckSlotSplice(ByteView input);
CheckResult CheckByteOperations(ByteView input);
CheckResult CheckDecoderCore(ByteView input);
CheckResult CheckPictureReaders(ByteView input);
CheckResult CheckEncoderCore(ByteView input);
CheckResult CheckPictureView(ByteView input);
CheckResult CheckFilterList(ByteView input);
CheckResult CheckDropText(ByteView input);
CheckResult CheckRemoveDirectoryTree(ByteView input);
CheckResult CheckCommandLine(ByteView input);

}  // namespace bootlume::fuzz
