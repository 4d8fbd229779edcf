// The format readers behind ReadPicture and the limits they share. Each takes
// the whole file in memory and returns 8-bit RGB with transparency composited
// over black; a failure is kCannotOpen (or kDecoderUnavailable) with the
// reason, and memory exhaustion inside a C library is rethrown as
// std::bad_alloc once the library's frames are left.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ByteBuffer.h"
#include "tools/picture/PictureInput.h"

namespace bootlume::picture {

// Decompression bombs: a picture whose decoded size exceeds these is refused
// before its pixels are allocated. 2^27 pixels (384 MiB as RGB) is far above
// any camera a user will hold and far below what breaks the machine.
inline constexpr std::int64_t kMaxPictureSide = 65535;
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{1} << 27;

bool IsAcceptableSize(std::int64_t width, std::int64_t height);
ReadResult CannotOpen(std::string detail);

// ReadPicture on a file already in memory: the format from its first bytes.
ReadResult DecodePicture(ByteView file, int targetWidth, int targetHeight);

// A large JPEG may be decoded at a DCT scale of n/8, never below twice the
// target in either direction (the target given in displayed orientation).
ReadResult DecodeJpeg(ByteView file, int targetWidth, int targetHeight);
ReadResult DecodePng(ByteView file);
ReadResult DecodeBmp(ByteView file);
ReadResult DecodeGif(ByteView file);

}  // namespace bootlume::picture
