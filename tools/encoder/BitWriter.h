// Writes a bit stream most significant bit first into a growing byte vector.
#pragma once

#include <cstdint>
#include <vector>

namespace bootlume::encoder {

class BitWriter {
 public:
  // Appends the low `count` bits of `value` (count 0..32).
  void Put(std::uint32_t value, int count);
  // Appends zero bits up to the next byte boundary.
  void AlignWithZeros();
  // A start code 00 00 01 `code` at a byte boundary (zero-stuffs first).
  void StartCode(std::uint8_t code);
  // Bits written so far.
  std::int64_t BitCount() const { return static_cast<std::int64_t>(bytes_.size()) * 8 + pendingCount_; }
  // The bytes, with a partial last byte padded by zeros.
  std::vector<std::uint8_t> Finish();

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint64_t pending_ = 0;  // bits not yet moved into bytes_, right-aligned
  int pendingCount_ = 0;
};

}  // namespace bootlume::encoder
