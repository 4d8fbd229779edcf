// Allocation that never fails visibly: running out of memory ends the process.
#pragma once

#include <cstddef>
#include <cstdlib>

namespace bootlume {

// Reports that `bytes` could not be allocated (stderr, and the message box
// presenter when one is installed) and ends the process with status -1 (255).
[[noreturn]] void FatalOutOfMemory(std::size_t bytes);

// Standard allocator whose failure is FatalOutOfMemory, never an exception,
// so buffer and text results need no error path.
template <class T>
struct FatalAllocator {
  using value_type = T;

  FatalAllocator() = default;
  template <class U>
  constexpr FatalAllocator(const FatalAllocator<U>&) noexcept {}

  T* allocate(std::size_t count) {
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) FatalOutOfMemory(static_cast<std::size_t>(-1));
    void* storage = std::malloc(count * sizeof(T));
    if (storage == nullptr && count != 0) FatalOutOfMemory(count * sizeof(T));
    return static_cast<T*>(storage);
  }
  void deallocate(T* storage, std::size_t) noexcept { std::free(storage); }

  template <class U>
  bool operator==(const FatalAllocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace bootlume
