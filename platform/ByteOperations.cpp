#include "platform/ByteOperations.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace bootlume {
namespace {

using Offset = std::int64_t;

Offset ClampOffset(std::int32_t start, Offset length) {
  return std::clamp<Offset>(static_cast<Offset>(start) - 1, 0, length);
}

// Offset of the first match of a pattern of m >= 2 bytes in [from, n), or -1.
// Candidates are the places where both the first and the last pattern byte
// sit; only there are the bytes between compared. Checking the last byte as
// well keeps long runs of the first byte (zero padding in front of a start
// code) from turning into a compare at every byte.
Offset FindLongPattern(const Byte* data, Offset n, const Byte* pattern, Offset m, Offset from) {
  const Byte first = pattern[0];
  const Byte last = pattern[m - 1];
  Offset at = from;
  const Offset lastStart = n - m;  // last offset at which a match may begin
#if defined(__SSE2__)
  const __m128i firstBytes = _mm_set1_epi8(static_cast<char>(first));
  const __m128i lastBytes = _mm_set1_epi8(static_cast<char>(last));
  while (at + 15 <= lastStart) {
    const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + m - 1));
    auto candidates = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(heads, firstBytes), _mm_cmpeq_epi8(tails, lastBytes))));
    while (candidates != 0) {
      const Offset candidate = at + __builtin_ctz(candidates);
      if (std::memcmp(data + candidate + 1, pattern + 1, static_cast<std::size_t>(m - 2)) == 0) return candidate;
      candidates &= candidates - 1;
    }
    at += 16;
  }
#endif
  while (at <= lastStart) {
    const void* hit = std::memchr(data + at, first, static_cast<std::size_t>(lastStart - at + 1));
    if (hit == nullptr) return -1;
    at = static_cast<const Byte*>(hit) - data;
    if (data[at + m - 1] == last && std::memcmp(data + at + 1, pattern + 1, static_cast<std::size_t>(m - 2)) == 0) {
      return at;
    }
    ++at;
  }
  return -1;
}

// Offset of the first match at or after `from`, or -1.
Offset FindOffset(ByteView buffer, ByteView pattern, Offset from) {
  const auto n = static_cast<Offset>(buffer.size());
  const auto m = static_cast<Offset>(pattern.size());
  if (m == 0 || n == 0 || from >= n || n - from < m) return -1;
  if (m == 1) {
    const void* hit = std::memchr(buffer.data() + from, pattern[0], static_cast<std::size_t>(n - from));
    return hit == nullptr ? -1 : static_cast<const Byte*>(hit) - buffer.data();
  }
  return FindLongPattern(buffer.data(), n, pattern.data(), m, from);
}

}  // namespace

std::int32_t BufferLength(ByteView buffer) { return static_cast<std::int32_t>(buffer.size()); }

std::int32_t FindBytes(ByteView buffer, ByteView pattern, std::int32_t start) {
  const Offset found = FindOffset(buffer, pattern, std::max<Offset>(static_cast<Offset>(start) - 1, 0));
  return found < 0 ? -1 : static_cast<std::int32_t>(found + 1);
}

ByteBuffer MiddleBytes(ByteView buffer, std::int32_t start, std::int32_t length) {
  const auto n = static_cast<Offset>(buffer.size());
  const Offset offset = ClampOffset(start, n);
  const Offset count = std::clamp<Offset>(length, 0, n - offset);
  return ByteBuffer(buffer.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(count)));
}

ByteBuffer ReplaceRange(ByteView buffer, std::int32_t start, std::int32_t length, ByteView replacement) {
  const auto n = static_cast<Offset>(buffer.size());
  const Offset offset = ClampOffset(start, n);
  const Offset count = std::clamp<Offset>(length, 0, n - offset);
  ByteBuffer result;
  result.Reserve(n - count + static_cast<Offset>(replacement.size()));
  result.Append(buffer.first(static_cast<std::size_t>(offset)));
  result.Append(replacement);
  result.Append(buffer.subspan(static_cast<std::size_t>(offset + count)));
  return result;
}

ByteBuffer ReplaceOccurrences(ByteView buffer, ByteView pattern, ByteView replacement, std::int32_t start,
                              std::optional<std::int32_t> limit) {
  const auto n = static_cast<Offset>(buffer.size());
  const auto m = static_cast<Offset>(pattern.size());
  const Offset offset = std::max<Offset>(static_cast<Offset>(start) - 1, 0);
  const Offset maxReplacements = limit ? std::max<Offset>(*limit, 0) : n + 1;
  if (n == 0 || m == 0 || offset >= n || maxReplacements == 0) return ByteBuffer(buffer);

  ByteBuffer result;
  result.Reserve(n);      // exact when the replacement is no longer than the pattern
  Offset copiedUpTo = 0;  // bytes before this offset are already in the result
  Offset at = offset;
  for (Offset done = 0; done < maxReplacements;) {
    const Offset match = FindOffset(buffer, pattern, at);
    if (match < 0) break;
    result.Append(buffer.subspan(static_cast<std::size_t>(copiedUpTo), static_cast<std::size_t>(match - copiedUpTo)));
    result.Append(replacement);
    copiedUpTo = at = match + m;
    ++done;
  }
  result.Append(buffer.subspan(static_cast<std::size_t>(copiedUpTo)));
  return result;
}

ByteBuffer BlankBuffer(std::int32_t count) {
  ByteBuffer blank;
  blank.AppendRepeated(0, count);
  return blank;
}

}  // namespace bootlume
