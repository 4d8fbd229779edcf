/* The implementation of stb_image (Debian's libstb-dev header), BMP only. */
#define STB_IMAGE_IMPLEMENTATION
#include "tools/picture/StbImageBmp.h"
