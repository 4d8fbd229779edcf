#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "cli/WorkAreaSession.h"
#include "engine/PreviewPipeline.h"
#include "engine/ReplacementPipeline.h"
#include "engine/StreamInfo.h"
#include "platform/SystemServices.h"
#include "workarea/WorkArea.h"

namespace bootlume::cli {
namespace {

struct Firmware {
  ByteBuffer image;
  PictureSlot slot;
};

// Reads the firmware and picks its N-th still; the reason when it cannot.
std::optional<Firmware> LoadFirmware(const CliOptions& options, std::string& why) {
  Firmware firmware{ReadWholeFile(Text(options.firmware)), {}};
  if (firmware.image.empty()) {
    why = "cannot read " + options.firmware + " (missing, empty, not a regular file or 2 GiB or larger)";
    return std::nullopt;
  }
  const std::vector<PictureSlot> slots = FindAllPictureSlots(firmware.image);
  if (slots.empty()) {
    why = options.firmware + " holds no boot picture (no sequence header followed by a sequence end code)";
    return std::nullopt;
  }
  if (static_cast<std::size_t>(options.slot) > slots.size()) {
    why =
        options.firmware + " holds " + std::to_string(slots.size()) + " still(s), not " + std::to_string(options.slot);
    return std::nullopt;
  }
  firmware.slot = slots[static_cast<std::size_t>(options.slot) - 1];
  return firmware;
}

// Writes an output file unless an interrupt came first; an interrupt that
// comes meanwhile waits for the write to end.
bool WriteOutput(const std::string& path, ByteView bytes) {
  const WorkAreaSession::WriteGuard guard(WorkAreaSession::WriteMutex());
  return !WorkAreaSession::Interrupted() && WriteWholeFile(Text(path), bytes);
}

std::string WorkAreaUnusable() {
  return "the work directory " + WorkDirectory().String() + " cannot be used (missing, not ours, or open to others)";
}

std::string PreviewFailure(PreviewError error) {
  switch (error) {
    case PreviewError::kNone:
      break;
    case PreviewError::kNoPicture:
      return "no boot picture";
    case PreviewError::kWorkAreaUnusable:
      return WorkAreaUnusable();
    case PreviewError::kDecoderDidNotRun:
      return "the decoder tool could not be started";
    case PreviewError::kDecoderGaveNoPicture:
      return "the decoder could not make a picture of this stream";
  }
  return "preview failed";
}

std::string ReplacementFailure(ReplacementError error, const CliOptions& options, const PictureSlot& slot) {
  switch (error) {
    case ReplacementError::kNone:
      break;
    case ReplacementError::kNoPicture:
      return "no boot picture";
    case ReplacementError::kWorkAreaUnusable:
      return WorkAreaUnusable();
    case ReplacementError::kCannotCopyPicture:
      return "cannot read the picture " + options.picture;
    case ReplacementError::kEncoderDidNotRun:
      return "the encoder tool could not be started";
    case ReplacementError::kNoStream:
      return "the encoder made no picture stream of " + options.picture + " within " + std::to_string(slot.length) +
             " bytes";
    case ReplacementError::kMalformedStream:
      return "the encoder's stream is not one clean MPEG still";
    case ReplacementError::kStreamTooLong:
      return "the encoder's stream is longer than the " + std::to_string(slot.length) + " bytes of the slot";
    case ReplacementError::kCannotWrite:
      return "cannot write " + options.output;
  }
  return "replacement failed";
}

}  // namespace

int RunExtract(const CliOptions& options) {
  std::string why;
  const std::optional<Firmware> firmware = LoadFirmware(options, why);
  if (!firmware) return Fail(why);
  if (options.raw) {
    if (!WriteOutput(options.output, ExtractPictureStream(firmware->image, firmware->slot))) {
      return Fail("cannot write " + options.output);
    }
    std::printf("wrote the picture stream (%d bytes) to %s\n", firmware->slot.length, options.output.c_str());
    return 0;
  }
  const Preview preview = PreviewSlotPicture(firmware->image, firmware->slot);
  if (preview.error != PreviewError::kNone) return Fail(PreviewFailure(preview.error));
  if (!WriteOutput(options.output, preview.jpeg)) return Fail("cannot write " + options.output);
  std::printf("wrote the picture (720x480 JPEG) to %s\n", options.output.c_str());
  return 0;
}

int RunReplace(const CliOptions& options) {
  std::string why;
  std::optional<Firmware> firmware = LoadFirmware(options, why);
  if (!firmware) return Fail(why);
  ReplacementOptions replacement;
  replacement.ntsc = options.ntsc;
  replacement.outputPath = Text();  // written here, out of an interrupt's way
  const std::string output = options.output.empty() ? kModifiedImageName : options.output;
  const ReplacementError error =
      ReplaceSlotPicture(firmware->image, firmware->slot, Text(options.picture), replacement);
  if (error != ReplacementError::kNone) return Fail(ReplacementFailure(error, options, firmware->slot));
  if (!WriteOutput(output, firmware->image)) return Fail("cannot write " + output);
  const PictureSlot written = FindAllPictureSlots(firmware->image).at(static_cast<std::size_t>(options.slot) - 1);
  std::printf("wrote %s: new picture of %d bytes in the slot of %d bytes at offset %d\n", output.c_str(),
              written.length, firmware->slot.length, firmware->slot.start - 1);
  return 0;
}

}  // namespace bootlume::cli
