#include "platform/FatalAllocator.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "platform/SystemServices.h"

namespace bootlume {

void FatalOutOfMemory(std::size_t bytes) {
  static std::atomic<bool> reporting{false};
  char line[96];
  const int length = std::snprintf(line, sizeof line, "Out of memory: could not allocate %zu bytes\n", bytes);
  // Straight to the descriptor: stdio might need the memory we lack.
  if (length > 0) [[maybe_unused]]
    auto ignored = ::write(STDERR_FILENO, line, static_cast<std::size_t>(length));
  // Showing the box may allocate again; a second failure only gets the line.
  if (!reporting.exchange(true)) NotifyFatalError(line);
  std::fflush(nullptr);
  std::_Exit(-1);
}

}  // namespace bootlume
