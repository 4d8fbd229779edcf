// Puts a picture of the user's choice into a firmware image as its new boot
// picture: the encoder tool makes a stream within the slot's length, the
// stream is spliced into the slot, and the whole image is written out.
#pragma once

#include <cstdint>

#include "engine/PictureSlot.h"
#include "platform/ByteBuffer.h"
#include "platform/Text.h"

namespace bootlume {

// Where the modified image goes unless told otherwise: the current directory.
inline constexpr const char* kModifiedImageName = "已修改.BIN";

enum class ReplacementError {
  kNone,
  kNoPicture,  // the image holds no boot picture slot
  kWorkAreaUnusable,
  kCannotCopyPicture,  // the chosen picture could not be copied into the work directory
  kEncoderDidNotRun,   // the encoder tool could not be started
  kNoStream,           // the encoder left no stream
  kMalformedStream,    // not one clean still: wrong start or end code, or an end code inside
  kStreamTooLong,      // longer than the slot
  kCannotWrite,        // the modified image could not be written
};

struct ReplacementOptions {
  Text outputPath = kModifiedImageName;  // empty: the caller writes the image itself
  bool ntsc = false;
};

// The window's replacement: the first slot, PAL, written to "已修改.BIN".
// True when the modified image was written. From the splice on, `image`
// holds the modified image even when the write fails; before it (any check
// failing) `image` is untouched.
bool ReplaceBootPicture(ByteBuffer& image, const Text& picturePath);

// The same for a given slot of `image`, with options and the reason of a
// failure.
ReplacementError ReplaceSlotPicture(ByteBuffer& image, const PictureSlot& slot, const Text& picturePath,
                                    const ReplacementOptions& options);

// The encoder's command line: "<dir>eempge.exe -p -f <dir>2.JPG -o <dir>2.mpg
// -s <budget>" ("-n" for NTSC), paths quoted only when they hold blanks.
Text EncoderCommandLine(const PictureSlot& slot, bool ntsc);

// Whether `stream` is one clean still that fits the slot: it begins with a
// sequence header code, its first end code is its last four bytes, and it
// is no longer than `budget`.
ReplacementError CheckEncodedStream(ByteView stream, std::int32_t budget);

}  // namespace bootlume
