#include "engine/PreviewPipeline.h"

#include "platform/CommandLine.h"
#include "platform/SystemServices.h"
#include "workarea/WorkArea.h"

namespace bootlume {

Text DecoderCommandLine() {
  return ConcatText({QuoteArgument(WorkFile(kDecoderToolName)), " -i ", QuoteArgument(WorkFile(kPreviewStreamName)),
                     " -y -f image2 -t 0.001 -s 720x480 ", QuoteArgument(WorkFile(kPreviewPictureName))});
}

ByteBuffer PreviewBootPicture(ByteView image) { return PreviewSlotPicture(image, FindPictureSlot(image)).jpeg; }

Preview PreviewSlotPicture(ByteView image, const PictureSlot& slot) {
  if (!slot.IsValid()) return {{}, PreviewError::kNoPicture};
  if (!WorkAreaIsUsable()) return {{}, PreviewError::kWorkAreaUnusable};
  const WorkAreaOperation operation;
  // A picture left by an earlier preview must never stand in for this one.
  RemoveFile(WorkFile(kPreviewPictureName));
  if (!WriteWholeFile(WorkFile(kPreviewStreamName), ExtractPictureStream(image, slot))) {
    return {{}, PreviewError::kWorkAreaUnusable};
  }
  if (!RunCommandLine(DecoderCommandLine(), true, kShowHidden)) return {{}, PreviewError::kDecoderDidNotRun};
  ByteBuffer jpeg = ReadWholeFile(WorkFile(kPreviewPictureName));
  if (jpeg.empty()) return {{}, PreviewError::kDecoderGaveNoPicture};
  return {std::move(jpeg), PreviewError::kNone};
}

}  // namespace bootlume
