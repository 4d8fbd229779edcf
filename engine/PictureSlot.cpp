#include "engine/PictureSlot.h"

#include <algorithm>

#include "platform/ByteOperations.h"
#include "platform/Text.h"

namespace bootlume {
namespace {

bool HasMarkerAt(ByteView image, std::int32_t position, const std::array<Byte, 4>& marker) {
  return position >= 1 && static_cast<std::int64_t>(position) + 3 <= BufferLength(image) &&
         std::equal(marker.begin(), marker.end(), image.begin() + (position - 1));
}

}  // namespace

PictureSlot FindPictureSlot(ByteView image) {
  PictureSlot slot;
  slot.start = FindBytes(image, kSequenceHeaderCode, 1);
  // The end code search begins at the header itself, so an end code that lies
  // before the header is never taken.
  slot.end = FindBytes(image, kSequenceEndCode, slot.start);
  slot.length = static_cast<std::int32_t>(TruncateToInteger(static_cast<double>(slot.end) + 4 - slot.start));
  return slot;
}

ByteBuffer ExtractPictureStream(ByteView image, const PictureSlot& slot) {
  return MiddleBytes(image, slot.start, slot.length);
}

std::optional<ByteBuffer> SplicePictureStream(ByteView image, const PictureSlot& slot, ByteView stream) {
  if (!slot.IsValid() || !HasMarkerAt(image, slot.start, kSequenceHeaderCode) ||
      !HasMarkerAt(image, slot.end, kSequenceEndCode) || stream.size() > static_cast<std::size_t>(slot.length)) {
    return std::nullopt;
  }
  ByteBuffer filled;
  filled.Reserve(slot.length);
  filled.Append(stream);
  filled.AppendRepeated(kSlotFillByte, slot.length - BufferLength(stream));
  return ReplaceRange(image, slot.start, slot.length, filled);
}

}  // namespace bootlume
