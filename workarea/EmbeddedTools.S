/* The tool executables as read-only data, with symbols at both ends. */
        .section .rodata.bootlume_tools, "a"
        .balign 16
        .globl bootlume_decoder_tool_begin, bootlume_decoder_tool_end
bootlume_decoder_tool_begin:
        .incbin DECODER_TOOL_PATH
bootlume_decoder_tool_end:
        .balign 16
        .globl bootlume_encoder_tool_begin, bootlume_encoder_tool_end
bootlume_encoder_tool_begin:
        .incbin ENCODER_TOOL_PATH
bootlume_encoder_tool_end:
        .section .note.GNU-stack, "", @progbits
