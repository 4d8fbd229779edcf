#include <gtest/gtest.h>

#include "engine/PictureSlot.h"
#include "platform/ByteOperations.h"

namespace bootlume {
namespace {

// `length` bytes of `fill` with a sequence header code at `header` and an
// end code at `end` (1-based; 0 leaves a marker out).
ByteBuffer Image(std::int32_t length, std::int32_t header, std::int32_t end, Byte fill = 0x5A) {
  ByteBuffer image;
  image.AppendRepeated(fill, length);
  if (header > 0) image = ReplaceRange(image, header, 4, kSequenceHeaderCode);
  if (end > 0) image = ReplaceRange(image, end, 4, kSequenceEndCode);
  return image;
}

ByteBuffer Stream(std::int32_t length) {
  ByteBuffer stream{0x00, 0x00, 0x01, 0xB3};
  for (std::int32_t i = 8; i < length; ++i) stream.Append(ByteBuffer{static_cast<Byte>(i * 7 + 1)});
  stream.Append(kSequenceEndCode);
  return stream;
}

TEST(FindPictureSlot, LocatesTheFirstHeaderAndTheFirstEndCodeAfterIt) {
  const struct {
    ByteBuffer image;
    PictureSlot expected;
  } cases[] = {
      {Image(2000, 1, 1001), {1, 1001, 1004}},
      {Image(64, 11, 15), {11, 15, 8}},  // header directly followed by an end code
      {ReplaceRange(Image(3000, 501, 2001), 100, 4, kSequenceEndCode), {501, 2001, 1504}},     // earlier end code
      {ReplaceRange(Image(3000, 501, 2001), 900, 4, kSequenceHeaderCode), {501, 2001, 1504}},  // second header
  };
  for (const auto& c : cases) {
    const PictureSlot slot = FindPictureSlot(c.image);
    EXPECT_EQ(slot, c.expected);
    EXPECT_TRUE(slot.IsValid());
    const ByteBuffer stream = ExtractPictureStream(c.image, slot);
    EXPECT_EQ(BufferLength(stream), c.expected.length);
    EXPECT_EQ(MiddleBytes(stream, 1, 4), ByteBuffer(kSequenceHeaderCode));
    EXPECT_EQ(MiddleBytes(stream, stream.size() - 3, 4), ByteBuffer(kSequenceEndCode));
  }
}

TEST(FindPictureSlot, ReportsMissingMarkersAsAnInvalidSlot) {
  const ByteBuffer noHeader = Image(100, 0, 41);
  const ByteBuffer noEnd = Image(100, 11, 0);
  const ByteBuffer endBeforeHeader = Image(100, 51, 11);
  for (const ByteBuffer& image : {noHeader, noEnd, endBeforeHeader, ByteBuffer()}) {
    EXPECT_FALSE(FindPictureSlot(image).IsValid());
  }
  EXPECT_EQ(FindPictureSlot(noHeader), (PictureSlot{-1, 41, 46}));  // the raw values, as computed
  EXPECT_EQ(FindPictureSlot(noEnd), (PictureSlot{11, -1, -8}));
}

TEST(SplicePictureStream, LaysTheStreamInAndFillsTheRestOfTheSlot) {
  const ByteBuffer image = Image(5000, 1, 1001);
  const PictureSlot slot = FindPictureSlot(image);
  for (std::int32_t n : {600, 8, 1004, 0}) {
    const ByteBuffer stream = n == 0 ? ByteBuffer() : Stream(n);
    const auto spliced = SplicePictureStream(image, slot, stream);
    ASSERT_TRUE(spliced.has_value()) << n;
    ASSERT_EQ(spliced->size(), image.size());
    EXPECT_EQ(MiddleBytes(*spliced, 1, n), stream);
    EXPECT_EQ(MiddleBytes(*spliced, n + 1, 1004 - n),
              ReplaceOccurrences(BlankBuffer(1004 - n), ByteBuffer{0x00}, ByteBuffer{0xFF}));
    EXPECT_EQ(MiddleBytes(*spliced, 1005, 5000), MiddleBytes(image, 1005, 5000));
  }
}

TEST(SplicePictureStream, AfterASpliceTheSlotEndsAtTheNewStreamsEndCode) {
  const ByteBuffer image = Image(5000, 101, 1101);
  const auto spliced = SplicePictureStream(image, FindPictureSlot(image), Stream(600));
  ASSERT_TRUE(spliced);
  EXPECT_EQ(FindPictureSlot(*spliced), (PictureSlot{101, 697, 600}));
}

TEST(SplicePictureStream, RefusesWhatWouldWriteOutsideTheSlot) {
  const ByteBuffer image = Image(5000, 101, 1101);
  const PictureSlot slot = FindPictureSlot(image);
  const ByteBuffer noEnd = Image(5000, 101, 0);
  const struct {
    const char* what;
    ByteBuffer image;
    PictureSlot slot;
    ByteBuffer stream;
  } cases[] = {
      {"stream one byte too long", image, slot, Stream(1005)},
      {"no end code", noEnd, FindPictureSlot(noEnd), Stream(8)},
      {"no header", Image(100, 0, 0), FindPictureSlot(Image(100, 0, 0)), ByteBuffer()},
      {"empty image", ByteBuffer(), FindPictureSlot(ByteBuffer()), ByteBuffer()},
      {"slot of another image", Image(5000, 201, 1201), slot, Stream(8)},
      {"slot past the end", MiddleBytes(image, 1, 1102), slot, Stream(8)},
      {"inconsistent slot", image, PictureSlot{101, 1101, 2000}, Stream(1500)},
  };
  for (const auto& c : cases) EXPECT_FALSE(SplicePictureStream(c.image, c.slot, c.stream).has_value()) << c.what;
}

}  // namespace
}  // namespace bootlume
