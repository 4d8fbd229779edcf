#include "engine/ReplacementPipeline.h"

#include <optional>

#include "platform/ByteOperations.h"
#include "platform/CommandLine.h"
#include "platform/SystemServices.h"
#include "workarea/WorkArea.h"

namespace bootlume {

Text EncoderCommandLine(const PictureSlot& slot, bool ntsc) {
  // The budget is the slot's length, computed as the distance of the two
  // markers; NumberToText writes it in plain digits.
  const Text budget = NumberToText(static_cast<double>(slot.end) + 4 - slot.start);
  return ConcatText({QuoteArgument(WorkFile(kEncoderToolName)), ntsc ? " -n -f " : " -p -f ",
                     QuoteArgument(WorkFile(kReplacementPictureName)), " -o ",
                     QuoteArgument(WorkFile(kReplacementStreamName)), " -s ", budget});
}

ReplacementError CheckEncodedStream(ByteView stream, std::int32_t budget) {
  if (stream.empty()) return ReplacementError::kNoStream;
  const std::int32_t length = BufferLength(stream);
  if (FindBytes(stream, kSequenceHeaderCode) != 1 || FindBytes(stream, kSequenceEndCode) != length - 3) {
    return ReplacementError::kMalformedStream;
  }
  return length > budget ? ReplacementError::kStreamTooLong : ReplacementError::kNone;
}

bool ReplaceBootPicture(ByteBuffer& image, const Text& picturePath) {
  return ReplaceSlotPicture(image, FindPictureSlot(image), picturePath, ReplacementOptions()) ==
         ReplacementError::kNone;
}

ReplacementError ReplaceSlotPicture(ByteBuffer& image, const PictureSlot& slot, const Text& picturePath,
                                    const ReplacementOptions& options) {
  if (!slot.IsValid()) return ReplacementError::kNoPicture;
  if (!WorkAreaIsUsable()) return ReplacementError::kWorkAreaUnusable;
  const WorkAreaOperation operation;
  if (!CopyFileTo(picturePath, WorkFile(kReplacementPictureName))) return ReplacementError::kCannotCopyPicture;
  // A stream left by an earlier run must never be taken for this one's.
  RemoveFile(WorkFile(kReplacementStreamName));
  if (!RunCommandLine(EncoderCommandLine(slot, options.ntsc), true)) return ReplacementError::kEncoderDidNotRun;

  const ByteBuffer stream = ReadWholeFile(WorkFile(kReplacementStreamName));
  if (const ReplacementError error = CheckEncodedStream(stream, slot.length); error != ReplacementError::kNone) {
    return error;
  }
  std::optional<ByteBuffer> spliced = SplicePictureStream(image, slot, stream);
  if (!spliced) return ReplacementError::kNoPicture;  // the slot is not this image's
  image = std::move(*spliced);
  if (options.outputPath.empty()) return ReplacementError::kNone;
  return WriteWholeFile(options.outputPath, image) ? ReplacementError::kNone : ReplacementError::kCannotWrite;
}

}  // namespace bootlume
