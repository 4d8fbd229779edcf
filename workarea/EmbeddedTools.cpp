#include "workarea/EmbeddedTools.h"

extern "C" {
extern const bootlume::Byte bootlume_decoder_tool_begin[];
extern const bootlume::Byte bootlume_decoder_tool_end[];
extern const bootlume::Byte bootlume_encoder_tool_begin[];
extern const bootlume::Byte bootlume_encoder_tool_end[];
}

namespace bootlume {

ByteView DecoderToolImage() { return {bootlume_decoder_tool_begin, bootlume_decoder_tool_end}; }

ByteView EncoderToolImage() { return {bootlume_encoder_tool_begin, bootlume_encoder_tool_end}; }

}  // namespace bootlume
