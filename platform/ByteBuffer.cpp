#include "platform/ByteBuffer.h"

namespace bootlume {
namespace {

void RequireLength(std::int64_t length) {
  if (length < 0 || length > kMaxBufferLength) FatalOutOfMemory(static_cast<std::size_t>(length < 0 ? 0 : length));
}

}  // namespace

ByteBuffer::ByteBuffer(ByteView bytes) {
  RequireLength(static_cast<std::int64_t>(bytes.size()));
  bytes_.assign(bytes.begin(), bytes.end());
}

ByteBuffer::ByteBuffer(std::initializer_list<Byte> bytes) : bytes_(bytes) {}

ByteBuffer ByteBuffer::FromString(std::string_view text) {
  return ByteBuffer(ByteView(reinterpret_cast<const Byte*>(text.data()), text.size()));
}

void ByteBuffer::Reserve(std::int64_t length) {
  RequireLength(length);
  bytes_.reserve(static_cast<std::size_t>(length));
}

void ByteBuffer::Append(ByteView bytes) {
  RequireLength(static_cast<std::int64_t>(bytes_.size() + bytes.size()));
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void ByteBuffer::AppendRepeated(Byte value, std::int64_t count) {
  if (count <= 0) return;
  RequireLength(static_cast<std::int64_t>(bytes_.size()) + count);
  bytes_.insert(bytes_.end(), static_cast<std::size_t>(count), value);
}

void ByteBuffer::Resize(std::int64_t length) {
  RequireLength(length);
  bytes_.resize(static_cast<std::size_t>(length));
}

}  // namespace bootlume
