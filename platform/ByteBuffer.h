// ByteBuffer: a counted run of bytes, the one currency of data in the system.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <span>
#include <string_view>
#include <utility>

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
  ByteBuffer(const ByteBuffer& other) : ByteBuffer(ByteView(other)) {}
  ByteBuffer(ByteBuffer&& other) noexcept
      : bytes_(std::move(other.bytes_)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  ByteBuffer& operator=(const ByteBuffer& other);
  ByteBuffer& operator=(ByteBuffer&& other) noexcept;

  // The bytes of a text, without any terminator.
  static ByteBuffer FromString(std::string_view text);

  const Byte* data() const { return bytes_.get(); }
  Byte* data() { return bytes_.get(); }
  std::int32_t size() const { return static_cast<std::int32_t>(size_); }
  bool empty() const { return size_ == 0; }
  const Byte* begin() const { return data(); }
  const Byte* end() const { return data() + size_; }
  Byte operator[](std::int32_t offset) const { return bytes_[static_cast<std::size_t>(offset)]; }
  operator ByteView() const { return {data(), size_}; }
  std::string_view AsString() const { return {reinterpret_cast<const char*>(data()), size_}; }

  // Building a result: these keep the 32-bit length limit (exceeding it is
  // fatal, like running out of memory).
  void Reserve(std::int64_t length);
  void Append(ByteView bytes);
  void AppendRepeated(Byte value, std::int64_t count);
  // New bytes are zero.
  void Resize(std::int64_t length);

  friend bool operator==(const ByteBuffer& a, const ByteBuffer& b) {
    return ByteView(a).size() == ByteView(b).size() && Equal(a, b);
  }

 private:
  struct Free {
    void operator()(Byte* bytes) const { std::free(bytes); }
  };
  static bool Equal(ByteView a, ByteView b);
  // Room for at least `length` bytes, growing geometrically.
  void Grow(std::int64_t length);
  void Reallocate(std::size_t capacity);

  std::unique_ptr<Byte[], Free> bytes_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace bootlume
