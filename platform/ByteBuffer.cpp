#include "platform/ByteBuffer.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace bootlume {
namespace {

void RequireLength(std::int64_t length) {
  if (length < 0 || length > kMaxBufferLength)
    FatalOutOfMemory(static_cast<std::size_t>(std::max<std::int64_t>(length, 0)));
}

}  // namespace

ByteBuffer::ByteBuffer(ByteView bytes) { Append(bytes); }

ByteBuffer::ByteBuffer(std::initializer_list<Byte> bytes) { Append(ByteView(bytes.begin(), bytes.size())); }

ByteBuffer& ByteBuffer::operator=(const ByteBuffer& other) {
  if (this != &other) *this = ByteBuffer(other);
  return *this;
}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
  bytes_ = std::move(other.bytes_);
  size_ = std::exchange(other.size_, 0);
  capacity_ = std::exchange(other.capacity_, 0);
  return *this;
}

ByteBuffer ByteBuffer::FromString(std::string_view text) {
  return ByteBuffer(ByteView(reinterpret_cast<const Byte*>(text.data()), text.size()));
}

bool ByteBuffer::Equal(ByteView a, ByteView b) { return a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0; }

void ByteBuffer::Reallocate(std::size_t capacity) {
  std::unique_ptr<Byte[], Free> storage(FatalAllocator<Byte>().allocate(capacity));
  if (size_ != 0) std::memcpy(storage.get(), bytes_.get(), size_);
  bytes_ = std::move(storage);
  capacity_ = capacity;
}

void ByteBuffer::Grow(std::int64_t length) {
  RequireLength(length);
  const auto wanted = static_cast<std::size_t>(length);
  if (wanted > capacity_) Reallocate(std::max(wanted, std::min<std::size_t>(capacity_ * 2, kMaxBufferLength)));
}

void ByteBuffer::Reserve(std::int64_t length) {
  RequireLength(length);
  // Exactly what was asked: the caller knows the final length.
  if (static_cast<std::size_t>(length) > capacity_) Reallocate(static_cast<std::size_t>(length));
}

void ByteBuffer::Append(ByteView bytes) {
  if (bytes.empty()) return;
  Grow(static_cast<std::int64_t>(size_ + bytes.size()));
  std::memcpy(bytes_.get() + size_, bytes.data(), bytes.size());
  size_ += bytes.size();
}

void ByteBuffer::AppendRepeated(Byte value, std::int64_t count) {
  if (count <= 0) return;
  Grow(static_cast<std::int64_t>(size_) + count);
  std::memset(bytes_.get() + size_, value, static_cast<std::size_t>(count));
  size_ += static_cast<std::size_t>(count);
}

void ByteBuffer::Resize(std::int64_t length) {
  RequireLength(length);
  if (static_cast<std::size_t>(length) > size_) {
    AppendRepeated(0, length - static_cast<std::int64_t>(size_));
  } else {
    size_ = static_cast<std::size_t>(length);
  }
}

}  // namespace bootlume
