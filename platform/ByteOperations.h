// The byte operations the engine relies on. Positions count from 1 and -1
// means "not found"; out-of-range positions, negative lengths and limits are
// clamped, never refused. No operation changes its arguments.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/ByteBuffer.h"

namespace bootlume {

// Number of bytes; 0 for an absent buffer.
std::int32_t BufferLength(ByteView buffer);

// Position of the first occurrence of `pattern` at or after `start` (any
// start below 1 means 1), or -1. An empty pattern or buffer gives -1.
// Allocates nothing.
std::int32_t FindBytes(ByteView buffer, ByteView pattern, std::int32_t start = 1);

// The bytes from `start` on, at most `length` of them, clamped to the buffer.
ByteBuffer MiddleBytes(ByteView buffer, std::int32_t start, std::int32_t length);

// The buffer with its clamped range start..start+length-1 replaced by
// `replacement` of any length (inserted when the range is empty, appended
// past the end; an empty replacement deletes the range).
ByteBuffer ReplaceRange(ByteView buffer, std::int32_t start, std::int32_t length, ByteView replacement = {});

// The buffer with non-overlapping occurrences of `pattern` at or after
// `start` replaced left to right, at most `limit` of them (none when limit
// is 0 or less; unlimited when absent).
ByteBuffer ReplaceOccurrences(ByteView buffer, ByteView pattern, ByteView replacement = {}, std::int32_t start = 1,
                              std::optional<std::int32_t> limit = std::nullopt);

// `count` zero bytes; empty for count <= 0.
ByteBuffer BlankBuffer(std::int32_t count);

}  // namespace bootlume
