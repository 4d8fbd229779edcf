// ByteBuffer: a counted run of bytes, the one currency of data in the system.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

#include "platform/FatalAllocator.h"

namespace bootlume {

using Byte = std::uint8_t;
using ByteView = std::span<const Byte>;

// Largest length a ByteBuffer can have: its length is a signed 32-bit count.
inline constexpr std::int64_t kMaxBufferLength = 0x7fffffff;

// A value type holding 0 .. kMaxBufferLength bytes. An absent buffer and an
// empty one are the same value. Positions given to the byte operations count
// from 1; see ByteOperations.h.
class ByteBuffer {
 public:
  ByteBuffer() = default;
  explicit ByteBuffer(ByteView bytes);
  ByteBuffer(std::initializer_list<Byte> bytes);

  // The bytes of a text, without any terminator.
  static ByteBuffer FromString(std::string_view text);

  const Byte* data() const { return bytes_.data(); }
  Byte* data() { return bytes_.data(); }
  std::int32_t size() const { return static_cast<std::int32_t>(bytes_.size()); }
  bool empty() const { return bytes_.empty(); }
  const Byte* begin() const { return bytes_.data(); }
  const Byte* end() const { return bytes_.data() + bytes_.size(); }
  Byte operator[](std::int32_t offset) const { return bytes_[static_cast<std::size_t>(offset)]; }
  operator ByteView() const { return {bytes_.data(), bytes_.size()}; }
  std::string_view AsString() const { return {reinterpret_cast<const char*>(bytes_.data()), bytes_.size()}; }

  // Building a result: these keep the 32-bit length limit (exceeding it is
  // fatal, like running out of memory).
  void Reserve(std::int64_t length);
  void Append(ByteView bytes);
  void AppendRepeated(Byte value, std::int64_t count);
  void Resize(std::int64_t length);

  friend bool operator==(const ByteBuffer& a, const ByteBuffer& b) { return a.bytes_ == b.bytes_; }

 private:
  std::vector<Byte, FatalAllocator<Byte>> bytes_;
};

}  // namespace bootlume
