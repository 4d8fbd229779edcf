// stb_image as this project builds it: the BMP reader only, from memory.
#pragma once

#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 65535
#include <stb_image.h>
