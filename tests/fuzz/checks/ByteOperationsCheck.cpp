// The byte operations against plain reference versions of their clamping
// rules. Input: start, length and limit (32 bits each, or small values with
// flag 2), a flags byte (1: a limit is given), the pattern and the
// replacement (each a length byte and its bytes), then the buffer.
// Properties: every operation gives exactly what the reference gives, and
// none changes its arguments.
#include <algorithm>
#include <optional>
#include <string>

#include "tests/fuzz/checks/FuzzChecks.h"
#include "tests/fuzz/checks/InputReader.h"
#include "platform/ByteOperations.h"

namespace bootlume::fuzz {
namespace {

using Bytes = std::vector<Byte>;

// A 1-based position brought to a 0-based offset in 0..n.
std::size_t ClampedOffset(std::int32_t start, std::size_t n) {
  return static_cast<std::size_t>(std::clamp<std::int64_t>(std::int64_t{start} - 1, 0, static_cast<std::int64_t>(n)));
}

std::int32_t ReferenceFind(const Bytes& buffer, const Bytes& pattern, std::int32_t start) {
  if (pattern.empty() || buffer.empty()) return -1;
  const std::int64_t first = std::max<std::int64_t>(std::int64_t{start} - 1, 0);
  for (std::int64_t p = first; p + static_cast<std::int64_t>(pattern.size()) <= static_cast<std::int64_t>(buffer.size());
       ++p) {
    if (std::equal(pattern.begin(), pattern.end(), buffer.begin() + p)) return static_cast<std::int32_t>(p + 1);
  }
  return -1;
}

Bytes ReferenceMiddle(const Bytes& buffer, std::int32_t start, std::int32_t length) {
  const std::size_t offset = ClampedOffset(start, buffer.size());
  const std::size_t count = static_cast<std::size_t>(
      std::clamp<std::int64_t>(length, 0, static_cast<std::int64_t>(buffer.size() - offset)));
  return Bytes(buffer.begin() + static_cast<std::ptrdiff_t>(offset),
               buffer.begin() + static_cast<std::ptrdiff_t>(offset + count));
}

Bytes ReferenceReplaceRange(const Bytes& buffer, std::int32_t start, std::int32_t length, const Bytes& replacement) {
  const std::size_t offset = ClampedOffset(start, buffer.size());
  const std::size_t count = static_cast<std::size_t>(
      std::clamp<std::int64_t>(length, 0, static_cast<std::int64_t>(buffer.size() - offset)));
  Bytes result(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(offset));
  result.insert(result.end(), replacement.begin(), replacement.end());
  result.insert(result.end(), buffer.begin() + static_cast<std::ptrdiff_t>(offset + count), buffer.end());
  return result;
}

Bytes ReferenceReplaceOccurrences(const Bytes& buffer, const Bytes& pattern, const Bytes& replacement,
                                  std::int32_t start, std::optional<std::int32_t> limit) {
  const std::int64_t offset = std::max<std::int64_t>(std::int64_t{start} - 1, 0);
  if (buffer.empty() || pattern.empty() || offset >= static_cast<std::int64_t>(buffer.size()) ||
      (limit && *limit <= 0)) {
    return buffer;
  }
  Bytes result(buffer.begin(), buffer.begin() + offset);
  std::size_t i = static_cast<std::size_t>(offset);
  std::int64_t replaced = 0;
  while (i + pattern.size() <= buffer.size() && !(limit && replaced >= *limit)) {
    if (std::equal(pattern.begin(), pattern.end(), buffer.begin() + static_cast<std::ptrdiff_t>(i))) {
      result.insert(result.end(), replacement.begin(), replacement.end());
      i += pattern.size();
      ++replaced;
    } else {
      result.push_back(buffer[i++]);
    }
  }
  result.insert(result.end(), buffer.begin() + static_cast<std::ptrdiff_t>(i), buffer.end());
  return result;
}

bool Same(const ByteBuffer& got, const Bytes& expected) {
  return ByteView(got).size() == expected.size() && std::equal(got.begin(), got.end(), expected.begin());
}

}  // namespace

CheckResult CheckByteOperations(ByteView input) {
  InputReader reader(input);
  std::int32_t start = reader.Int32();
  std::int32_t length = reader.Int32();
  std::int32_t limitValue = reader.Int32();
  const std::uint8_t flags = reader.Byte();
  if (flags & 2) {
    // Small values around the buffer's own positions reach the edges.
    start = static_cast<std::int8_t>(start & 0xFF);
    length = static_cast<std::int8_t>(length & 0xFF);
    limitValue = static_cast<std::int8_t>(limitValue & 0xFF);
  }
  const std::optional<std::int32_t> limit = (flags & 1) ? std::optional(limitValue) : std::nullopt;
  const ByteView patternBytes = reader.Bytes(reader.Byte());
  const ByteView replacementBytes = reader.Bytes(reader.Byte());
  const ByteView bufferBytes = reader.Rest();
  const Bytes pattern(patternBytes.begin(), patternBytes.end());
  const Bytes replacement(replacementBytes.begin(), replacementBytes.end());
  const Bytes buffer(bufferBytes.begin(), bufferBytes.end());
  const ByteBuffer held(bufferBytes);
  const std::string where = " (start " + std::to_string(start) + ", length " + std::to_string(length) + ")";

  if (BufferLength(held) != static_cast<std::int32_t>(buffer.size())) return CheckResult::Fail("BufferLength is wrong");
  const std::int32_t found = FindBytes(held, pattern, start);
  if (found != ReferenceFind(buffer, pattern, start)) {
    return CheckResult::Fail("FindBytes gave " + std::to_string(found) + where);
  }
  if (!Same(MiddleBytes(held, start, length), ReferenceMiddle(buffer, start, length))) {
    return CheckResult::Fail("MiddleBytes differs" + where);
  }
  if (!Same(ReplaceRange(held, start, length, replacement), ReferenceReplaceRange(buffer, start, length, replacement))) {
    return CheckResult::Fail("ReplaceRange differs" + where);
  }
  const ByteBuffer occurrences = limit ? ReplaceOccurrences(held, pattern, replacement, start, *limit)
                                       : ReplaceOccurrences(held, pattern, replacement, start);
  if (!Same(occurrences, ReferenceReplaceOccurrences(buffer, pattern, replacement, start, limit))) {
    return CheckResult::Fail("ReplaceOccurrences differs" + where);
  }
  const std::int32_t blankLength = static_cast<std::int16_t>(length & 0xFFFF);
  const ByteBuffer blank = BlankBuffer(blankLength);
  if (!Same(blank, Bytes(static_cast<std::size_t>(std::max(blankLength, 0)), 0))) {
    return CheckResult::Fail("BlankBuffer(" + std::to_string(blankLength) + ") is wrong");
  }
  if (!Same(held, buffer)) return CheckResult::Fail("an operation changed its argument");
  return CheckResult::Pass();
}

}  // namespace bootlume::fuzz
