// The boot picture's place in a firmware image: the bytes from the image's
// first MPEG sequence header start code through the first sequence end code
// after it. Found by the start codes alone; the image is only read.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "platform/ByteBuffer.h"

namespace bootlume {

inline constexpr std::array<Byte, 4> kSequenceHeaderCode{0x00, 0x00, 0x01, 0xB3};
inline constexpr std::array<Byte, 4> kSequenceEndCode{0x00, 0x00, 0x01, 0xB7};
inline constexpr Byte kSlotFillByte = 0xFF;

// Positions count from 1, as in the byte operations.
struct PictureSlot {
  std::int32_t start = -1;  // first byte of the first sequence header code; -1 when none
  std::int32_t end = -1;    // first byte of the first end code at or after `start`; -1 when none
  std::int32_t length = 0;  // end + 4 - start: both markers included

  // Both markers were found (and the fields agree with each other). In 64
  // bits: a slot handed in from outside may hold any values.
  bool IsValid() const {
    return start >= 1 && std::int64_t{end} >= std::int64_t{start} + 4 &&
           std::int64_t{length} == std::int64_t{end} + 4 - start;
  }
  friend bool operator==(const PictureSlot&, const PictureSlot&) = default;
};

// Locates the slot afresh in `image`; an invalid slot when a marker is missing.
PictureSlot FindPictureSlot(ByteView image);

// The slot's bytes: for a valid slot a stream that begins with the sequence
// header code and ends with the end code.
ByteBuffer ExtractPictureStream(ByteView image, const PictureSlot& slot);

// The whole image with `stream` laid over the start of the slot and the rest
// of the slot, old end code included, filled with FF. Refused (no value) when
// the slot is invalid or not this image's, or the stream is longer than the
// slot: nothing outside the slot can change.
std::optional<ByteBuffer> SplicePictureStream(ByteView image, const PictureSlot& slot, ByteView stream);

}  // namespace bootlume
