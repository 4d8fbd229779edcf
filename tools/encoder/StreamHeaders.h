// Writers of the MPEG-2 headers that frame one intra-coded still picture.
#pragma once

#include <cstdint>

#include "tools/encoder/BitWriter.h"

namespace bootlume::encoder {

// Start codes (the byte after 00 00 01).
inline constexpr std::uint8_t kPictureStartCode = 0x00;
inline constexpr std::uint8_t kSequenceHeaderCode = 0xB3;
inline constexpr std::uint8_t kExtensionStartCode = 0xB5;
inline constexpr std::uint8_t kSequenceEndCode = 0xB7;
inline constexpr std::uint8_t kGroupStartCode = 0xB8;

// What the sequence-level headers say about the frame.
struct SequenceFormat {
  int width = 720;
  int height = 576;
  int frameRateCode = 3;  // 25 Hz
  int videoFormat = 1;    // PAL
  int colourPrimaries = 5;
  int transferCharacteristics = 5;
  int matrixCoefficients = 5;
};

// The choices of the one picture's coding extension.
struct PictureCoding {
  int intraDcPrecision = 0;  // 0..2 for 8..10 bits
  bool framePredFrameDct = true;
  bool nonLinearScale = true;  // q_scale_type
  int intraVlcFormat = 1;
  bool alternateScan = false;
};

// Main profile at Main level; 15 Mbit/s in units of 400 bit/s.
inline constexpr int kBitRateValue = 37500;
inline constexpr int kProfileAndLevel = 0x48;
inline constexpr int kVbvBufferSizeValue = 112;
// The picture must fit the VBV buffer: 112 * 16 kbit.
inline constexpr std::int64_t kVbvBufferBytes = kVbvBufferSizeValue * 16 * 1024 / 8;

// Sequence header, sequence extension, sequence display extension and a
// closed group-of-pictures header.
void WriteSequenceHeaders(BitWriter& out, const SequenceFormat& format);

// Picture header of an I-picture (vbv_delay 0xFFFF) and its coding extension
// for an interlaced frame picture.
void WritePictureHeaders(BitWriter& out, const PictureCoding& coding);

// Slice header of macroblock row `row` (0-based) with its quantiser_scale_code.
void WriteSliceHeader(BitWriter& out, int row, int quantiserScaleCode);
inline constexpr int kSliceHeaderBits = 32 + 5 + 1;

void WriteSequenceEnd(BitWriter& out);

}  // namespace bootlume::encoder
