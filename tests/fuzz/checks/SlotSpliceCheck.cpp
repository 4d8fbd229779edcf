// Slot search, extraction and splice on an arbitrary image and stream.
// Input: a flags byte, the stream's length (16 bits), with flag 1 a slot of
// three 32-bit numbers to splice into instead of the one found, then the
// stream, then the image.
// Properties: the slot found is the one a plain search finds; the extracted
// stream is the slot's bytes, framed by the two markers; a splice is done
// exactly when the slot is valid for this image and the stream fits, and
// then gives an image of the same length in which only the slot changed, to
// the stream followed by FF. Every still listed is valid and they follow
// each other without overlap, the first being the boot picture's.
#include <algorithm>
#include <string>

#include "engine/PictureSlot.h"
#include "engine/StreamInfo.h"
#include "tests/fuzz/checks/FuzzChecks.h"
#include "tests/fuzz/checks/InputReader.h"

namespace bootlume::fuzz {
namespace {

// 1-based position of the first `marker` at or after offset `from`, or -1.
std::int32_t Search(ByteView image, const std::array<Byte, 4>& marker, std::size_t from) {
  if (from > image.size()) return -1;
  const auto found = std::search(image.begin() + static_cast<std::ptrdiff_t>(from), image.end(), marker.begin(),
                                 marker.end());
  return found == image.end() ? -1 : static_cast<std::int32_t>(found - image.begin()) + 1;
}

bool MarkerAt(ByteView image, std::int64_t position, const std::array<Byte, 4>& marker) {
  return position >= 1 && position + 3 <= static_cast<std::int64_t>(image.size()) &&
         std::equal(marker.begin(), marker.end(), image.begin() + (position - 1));
}

std::string Describe(const PictureSlot& slot) {
  return "slot {" + std::to_string(slot.start) + ", " + std::to_string(slot.end) + ", " +
         std::to_string(slot.length) + "}";
}

// Whether a splice of `stream` into `slot` of `image` may be done at all.
bool SpliceAllowed(ByteView image, const PictureSlot& slot, ByteView stream) {
  const std::int64_t start = slot.start, end = slot.end, length = slot.length;
  return start >= 1 && end >= start + 4 && length == end + 4 - start && MarkerAt(image, start, kSequenceHeaderCode) &&
         MarkerAt(image, end, kSequenceEndCode) && static_cast<std::int64_t>(stream.size()) <= length;
}

CheckResult CheckSplice(ByteView image, const PictureSlot& slot, ByteView stream) {
  const std::optional<ByteBuffer> spliced = SplicePictureStream(image, slot, stream);
  const bool allowed = SpliceAllowed(image, slot, stream);
  if (!allowed) {
    return spliced ? CheckResult::Fail("a splice into " + Describe(slot) + " of a " + std::to_string(stream.size()) +
                                       "-byte stream was done; it must be refused")
                   : CheckResult::Pass();
  }
  if (!spliced) return CheckResult::Fail("a fitting stream was refused for the valid " + Describe(slot));
  if (spliced->size() != static_cast<std::int32_t>(image.size())) {
    return CheckResult::Fail("the spliced image is " + std::to_string(spliced->size()) + " bytes, not " +
                             std::to_string(image.size()));
  }
  const std::size_t from = static_cast<std::size_t>(slot.start) - 1;
  const std::size_t to = from + static_cast<std::size_t>(slot.length);
  for (std::size_t i = 0; i < image.size(); ++i) {
    Byte expected = image[i];
    if (i >= from && i < to) expected = i - from < stream.size() ? stream[i - from] : kSlotFillByte;
    if ((*spliced)[static_cast<std::int32_t>(i)] != expected) {
      return CheckResult::Fail("byte at offset " + std::to_string(i) + " is wrong after a splice into " +
                               Describe(slot) + (i < from || i >= to ? " (outside the slot)" : " (inside the slot)"));
    }
  }
  return CheckResult::Pass();
}

}  // namespace

CheckResult CheckSlotSplice(ByteView input) {
  InputReader reader(input);
  const std::uint8_t flags = reader.Byte();
  const std::uint16_t streamLength = reader.Uint16();
  PictureSlot given;
  if (flags & 1) {
    given.start = reader.Int32();
    given.end = reader.Int32();
    given.length = reader.Int32();
  }
  const ByteView stream = reader.Bytes(streamLength);
  const ByteView image = reader.Rest();

  // The search, against a plain one.
  const PictureSlot slot = FindPictureSlot(image);
  const std::int32_t start = Search(image, kSequenceHeaderCode, 0);
  const std::int32_t end = Search(image, kSequenceEndCode, start < 1 ? 0 : static_cast<std::size_t>(start) - 1);
  if (slot.start != start || slot.end != end) {
    return CheckResult::Fail("found " + Describe(slot) + ", a plain search gives start " + std::to_string(start) +
                             " and end " + std::to_string(end));
  }
  const bool valid = start >= 1 && end >= 1;
  if (slot.IsValid() != valid) return CheckResult::Fail(Describe(slot) + " has the wrong validity");

  if (valid) {
    if (slot.length != end + 4 - start) return CheckResult::Fail(Describe(slot) + " has the wrong length");
    const ByteBuffer extracted = ExtractPictureStream(image, slot);
    if (ByteView(extracted).size() != static_cast<std::size_t>(slot.length) ||
        !std::equal(extracted.begin(), extracted.end(), image.begin() + (start - 1))) {
      return CheckResult::Fail("the stream extracted from " + Describe(slot) + " is not the slot's bytes");
    }
    if (!MarkerAt(extracted, 1, kSequenceHeaderCode) || !MarkerAt(extracted, slot.length - 3, kSequenceEndCode)) {
      return CheckResult::Fail("the extracted stream is not framed by the two markers");
    }
    (void)ReadStreamInfo(extracted);
  }

  if (CheckResult result = CheckSplice(image, slot, stream); !result.Passed()) return result;
  if (flags & 1) {
    if (CheckResult result = CheckSplice(image, given, stream); !result.Passed()) return result;
  }

  // Every still of the image.
  const std::vector<PictureSlot> all = FindAllPictureSlots(image);
  if (valid != !all.empty() || (valid && all.front() != slot)) {
    return CheckResult::Fail("the first still listed is not the boot picture's slot");
  }
  std::int64_t previousEnd = 0;
  for (const PictureSlot& still : all) {
    if (!still.IsValid() || !MarkerAt(image, still.start, kSequenceHeaderCode) ||
        !MarkerAt(image, still.end, kSequenceEndCode) || still.start <= previousEnd) {
      return CheckResult::Fail("the still " + Describe(still) + " is invalid or overlaps the one before");
    }
    previousEnd = static_cast<std::int64_t>(still.end) + 3;
  }
  return CheckResult::Pass();
}

}  // namespace bootlume::fuzz
