#include "tools/encoder/BitWriter.h"

#include <utility>

namespace bootlume::encoder {

void BitWriter::Put(std::uint32_t value, int count) {
  if (count <= 0) return;
  const std::uint64_t mask = count >= 32 ? 0xffffffffull : ((1ull << count) - 1);
  pending_ = (pending_ << count) | (value & mask);
  pendingCount_ += count;
  while (pendingCount_ >= 8) {
    pendingCount_ -= 8;
    bytes_.push_back(static_cast<std::uint8_t>(pending_ >> pendingCount_));
  }
  pending_ &= (1ull << pendingCount_) - 1;
}

void BitWriter::AlignWithZeros() {
  if (pendingCount_ > 0) Put(0, 8 - pendingCount_);
}

void BitWriter::StartCode(std::uint8_t code) {
  AlignWithZeros();
  bytes_.insert(bytes_.end(), {0x00, 0x00, 0x01, code});
}

std::vector<std::uint8_t> BitWriter::Finish() {
  AlignWithZeros();
  return std::move(bytes_);
}

}  // namespace bootlume::encoder
