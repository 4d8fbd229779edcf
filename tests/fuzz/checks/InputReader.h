// Takes typed values off the front of a fuzz input; past its end every value
// is zero and every run of bytes empty, so any input gives a whole case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ByteBuffer.h"

namespace bootlume::fuzz {

class InputReader {
 public:
  explicit InputReader(ByteView input) : input_(input) {}

  std::uint8_t Byte() {
    if (input_.empty()) return 0;
    const std::uint8_t value = input_.front();
    input_ = input_.subspan(1);
    return value;
  }
  std::uint16_t Uint16() { return static_cast<std::uint16_t>(Byte() | (Byte() << 8)); }
  std::int32_t Int32() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(Byte()) << (8 * i);
    return static_cast<std::int32_t>(value);
  }
  // The next `count` bytes, fewer when the input ends.
  ByteView Bytes(std::size_t count) {
    const ByteView taken = input_.first(std::min(count, input_.size()));
    input_ = input_.subspan(taken.size());
    return taken;
  }
  ByteView Rest() { return Bytes(input_.size()); }
  std::string_view RestAsText() {
    const ByteView rest = Rest();
    return {reinterpret_cast<const char*>(rest.data()), rest.size()};
  }
  std::size_t Left() const { return input_.size(); }

 private:
  ByteView input_;
};

}  // namespace bootlume::fuzz
