#include "tools/encoder/StreamHeaders.h"

namespace bootlume::encoder {

void WriteSequenceHeaders(BitWriter& out, const SequenceFormat& format) {
  out.StartCode(kSequenceHeaderCode);
  out.Put(static_cast<std::uint32_t>(format.width), 12);
  out.Put(static_cast<std::uint32_t>(format.height), 12);
  out.Put(2, 4);  // aspect_ratio_information: 4:3
  out.Put(static_cast<std::uint32_t>(format.frameRateCode), 4);
  out.Put(kBitRateValue & 0x3ffff, 18);
  out.Put(1, 1);  // marker
  out.Put(kVbvBufferSizeValue, 10);
  out.Put(0, 1);  // constrained_parameters_flag
  out.Put(0, 1);  // load_intra_quantiser_matrix
  out.Put(0, 1);  // load_non_intra_quantiser_matrix

  out.StartCode(kExtensionStartCode);
  out.Put(1, 4);  // sequence extension
  out.Put(kProfileAndLevel, 8);
  out.Put(0, 1);  // progressive_sequence
  out.Put(1, 2);  // chroma_format 4:2:0
  out.Put(0, 2);  // horizontal_size_extension
  out.Put(0, 2);  // vertical_size_extension
  out.Put(kBitRateValue >> 18, 12);
  out.Put(1, 1);  // marker
  out.Put(0, 8);  // vbv_buffer_size_extension
  out.Put(0, 1);  // low_delay
  out.Put(0, 2);  // frame_rate_extension_n
  out.Put(0, 5);  // frame_rate_extension_d

  out.StartCode(kExtensionStartCode);
  out.Put(2, 4);  // sequence display extension
  out.Put(static_cast<std::uint32_t>(format.videoFormat), 3);
  out.Put(1, 1);  // colour_description
  out.Put(static_cast<std::uint32_t>(format.colourPrimaries), 8);
  out.Put(static_cast<std::uint32_t>(format.transferCharacteristics), 8);
  out.Put(static_cast<std::uint32_t>(format.matrixCoefficients), 8);
  out.Put(static_cast<std::uint32_t>(format.width), 14);
  out.Put(1, 1);  // marker
  out.Put(static_cast<std::uint32_t>(format.height), 14);

  out.StartCode(kGroupStartCode);
  out.Put(0, 1);   // drop_frame_flag
  out.Put(0, 5);   // hours
  out.Put(0, 6);   // minutes
  out.Put(1, 1);   // marker
  out.Put(0, 6);   // seconds
  out.Put(0, 6);   // pictures
  out.Put(1, 1);   // closed_gop
  out.Put(0, 1);   // broken_link
}

void WritePictureHeaders(BitWriter& out, const PictureCoding& coding) {
  out.StartCode(kPictureStartCode);
  out.Put(0, 10);      // temporal_reference
  out.Put(1, 3);       // picture_coding_type: I
  out.Put(0xffff, 16); // vbv_delay: not given
  out.Put(0, 1);       // extra_bit_picture

  out.StartCode(kExtensionStartCode);
  out.Put(8, 4);       // picture coding extension
  out.Put(0xffff, 16); // f_code: none in an I-picture
  out.Put(static_cast<std::uint32_t>(coding.intraDcPrecision), 2);
  out.Put(3, 2);       // picture_structure: frame
  out.Put(1, 1);       // top_field_first
  out.Put(coding.framePredFrameDct ? 1 : 0, 1);
  out.Put(0, 1);       // concealment_motion_vectors
  out.Put(coding.nonLinearScale ? 1 : 0, 1);
  out.Put(static_cast<std::uint32_t>(coding.intraVlcFormat), 1);
  out.Put(coding.alternateScan ? 1 : 0, 1);
  out.Put(0, 1);       // repeat_first_field
  out.Put(0, 1);       // chroma_420_type (equals progressive_frame)
  out.Put(0, 1);       // progressive_frame
  out.Put(0, 1);       // composite_display_flag
}

void WriteSliceHeader(BitWriter& out, int row, int quantiserScaleCode) {
  out.StartCode(static_cast<std::uint8_t>(row + 1));
  out.Put(static_cast<std::uint32_t>(quantiserScaleCode), 5);
  out.Put(0, 1);  // extra_bit_slice
}

void WriteSequenceEnd(BitWriter& out) { out.StartCode(kSequenceEndCode); }

}  // namespace bootlume::encoder
