#include <gtest/gtest.h>
#include <sys/resource.h>

#include "platform/ByteOperations.h"

namespace bootlume {
namespace {

TEST(OutOfMemory, ABufferBeyondTheLengthLimitEndsTheProcessWithMinusOne) {
  EXPECT_EXIT(
      {
        ByteBuffer buffer;
        buffer.Resize(kMaxBufferLength + 1);
      },
      testing::ExitedWithCode(255), "Out of memory: could not allocate 2147483648 bytes");
}

#if !defined(__SANITIZE_ADDRESS__)
// Allocates a gigabyte under an address-space limit of 256 MiB.
void AllocateBeyondTheLimit() {
  const rlimit limit{256 << 20, 256 << 20};
  setrlimit(RLIMIT_AS, &limit);
  const ByteBuffer blank = BlankBuffer(1 << 30);
  std::printf("%d\n", BufferLength(blank));
}

TEST(OutOfMemory, AFailedAllocationNamesTheByteCount) {
  EXPECT_EXIT(AllocateBeyondTheLimit(), testing::ExitedWithCode(255), "could not allocate 1073741824 bytes");
}
#endif

}  // namespace
}  // namespace bootlume
