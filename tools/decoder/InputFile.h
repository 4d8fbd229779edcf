// Reading the input stream whole, with a size bound so that a huge or
// endless file cannot exhaust memory.
#pragma once

#include <cstddef>
#include <string>

#include "platform/ByteBuffer.h"

namespace bootlume::decoder {

inline constexpr std::size_t kMaxInputBytes = 64u << 20;

struct InputRead {
  ByteBuffer bytes;
  std::string failure;  // empty on success
};

// The content of a regular file of 1 .. `limit` bytes; anything else is a
// failure with the reason ("No such file or directory", "input is empty", ...).
InputRead ReadBoundedFile(const std::string& path, std::size_t limit = kMaxInputBytes);

}  // namespace bootlume::decoder
