#include <gtest/gtest.h>

#include <optional>

#include "platform/ByteOperations.h"

namespace bootlume {
namespace {

// Header code directly followed by an end code.
const ByteBuffer kEight{0x00, 0x00, 0x01, 0xB3, 0x00, 0x00, 0x01, 0xB7};
const ByteBuffer kHeader{0x00, 0x00, 0x01, 0xB3};
const ByteBuffer kEnd{0x00, 0x00, 0x01, 0xB7};

struct FindCase {
  ByteBuffer buffer;
  ByteBuffer pattern;
  std::int32_t start;
  std::int32_t expected;
};

TEST(FindBytes, ClampsStartAndReportsMissesAsMinusOne) {
  const FindCase cases[] = {
      {kEight, kEnd, 1, 5},
      {kEight, kEnd, 5, 5},
      {kEight, kEnd, 0, 5},
      {kEight, kEnd, -7, 5},
      {kEight, kEnd, 6, -1},
      {kEight, kEnd, 9, -1},
      {kEight, kHeader, 1, 1},
      {kEight, {}, 1, -1},
      {{}, kEnd, 1, -1},
      {kEight, {0xB7}, 1, 8},
      {kEight, {0x01}, 4, 7},
      {kEight, kEight, 1, 1},
      {kEight, {0xB7, 0x00}, 1, -1},  // would run past the end
      {{0x00, 0x00, 0x00, 0x01}, {0x00, 0x00, 0x01}, 1, 2},
  };
  for (const FindCase& c : cases) {
    EXPECT_EQ(FindBytes(c.buffer, c.pattern, c.start), c.expected) << "start " << c.start;
  }
}

TEST(FindBytes, FindsEveryPlacementInLongBuffers) {
  // Lengths and places around the 16-byte block steps of the scan, inside
  // zero padding that is full of first-byte candidates.
  for (std::int32_t length : {4, 15, 16, 17, 31, 32, 33, 100}) {
    for (std::int32_t at = 1; at + 3 <= length; ++at) {
      ByteBuffer buffer = BlankBuffer(length);
      ByteBuffer placed = ReplaceRange(buffer, at, 4, kEnd);
      EXPECT_EQ(FindBytes(placed, kEnd), at) << length << " " << at;
      EXPECT_EQ(FindBytes(placed, kEnd, at + 1), -1);
      EXPECT_EQ(FindBytes(buffer, kEnd), -1);
    }
  }
}

TEST(MiddleBytes, ClampsTheRange) {
  EXPECT_EQ(MiddleBytes(kEight, 0, 3), (ByteBuffer{0x00, 0x00, 0x01}));
  EXPECT_EQ(MiddleBytes(kEight, 7, 5), (ByteBuffer{0x01, 0xB7}));
  EXPECT_EQ(MiddleBytes(kEight, 9, 1), ByteBuffer());
  EXPECT_EQ(MiddleBytes(kEight, 3, -2), ByteBuffer());
  EXPECT_EQ(MiddleBytes({}, 1, 4), ByteBuffer());
}

TEST(ReplaceRange, ReplacesInsertsAppendsAndDeletes) {
  struct Case {
    std::int32_t start, length;
    ByteBuffer replacement, expected;
  } cases[] = {
      {3, 2, {0xAA, 0xBB, 0xCC}, {0x00, 0x00, 0xAA, 0xBB, 0xCC, 0x00, 0x00, 0x01, 0xB7}},
      {3, 0, {0xAA}, {0x00, 0x00, 0xAA, 0x01, 0xB3, 0x00, 0x00, 0x01, 0xB7}},
      {20, 4, {0xAA}, {0x00, 0x00, 0x01, 0xB3, 0x00, 0x00, 0x01, 0xB7, 0xAA}},
      {3, 2, {}, {0x00, 0x00, 0x00, 0x00, 0x01, 0xB7}},
      {-5, 1, {0xAA}, {0xAA, 0x00, 0x01, 0xB3, 0x00, 0x00, 0x01, 0xB7}},
      {7, 100, {0xAA}, {0x00, 0x00, 0x01, 0xB3, 0x00, 0x00, 0xAA}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReplaceRange(kEight, c.start, c.length, c.replacement), c.expected) << c.start << "," << c.length;
  }
}

TEST(ReplaceOccurrences, ReplacesLeftToRightWithoutOverlap) {
  const ByteBuffer zeros{0x00, 0x00, 0x00};
  const ByteBuffer ff{0xFF};
  struct Case {
    ByteBuffer pattern, replacement;
    std::int32_t start;
    std::optional<std::int32_t> limit;
    ByteBuffer expected;
  } cases[] = {
      {{0x00, 0x00}, ff, 1, std::nullopt, {0xFF, 0x00}},
      {{0x00}, ff, 1, std::nullopt, {0xFF, 0xFF, 0xFF}},
      {{0x00}, ff, 1, 1, {0xFF, 0x00, 0x00}},
      {{0x00}, ff, 1, 0, zeros},
      {{0x00}, ff, 1, -4, zeros},
      {{0x00}, ff, 4, std::nullopt, zeros},
      {{0x00}, ff, 2, std::nullopt, {0x00, 0xFF, 0xFF}},
      {{0x00}, {}, 1, std::nullopt, {}},
      {{0x00}, {0xAA, 0xBB}, 1, 2, {0xAA, 0xBB, 0xAA, 0xBB, 0x00}},
      {{}, ff, 1, std::nullopt, zeros},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReplaceOccurrences(zeros, c.pattern, c.replacement, c.start, c.limit), c.expected);
}

TEST(BlankBuffer, GivesZeroBytesOrNothing) {
  EXPECT_EQ(BlankBuffer(0), ByteBuffer());
  EXPECT_EQ(BlankBuffer(-3), ByteBuffer());
  EXPECT_EQ(BlankBuffer(4), (ByteBuffer{0, 0, 0, 0}));
  EXPECT_EQ(BufferLength(BlankBuffer(4)), 4);
  EXPECT_EQ(BufferLength({}), 0);
}

TEST(ByteOperations, NeverChangeTheirArguments) {
  const ByteBuffer before = kEight;
  ByteBuffer buffer = kEight;
  (void)ReplaceRange(buffer, 1, 4, ByteBuffer{0xAA});
  (void)ReplaceOccurrences(buffer, ByteBuffer{0x00}, ByteBuffer{0xFF});
  (void)MiddleBytes(buffer, 2, 3);
  EXPECT_EQ(buffer, before);
}

}  // namespace
}  // namespace bootlume
