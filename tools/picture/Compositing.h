// Transparency: every reader composites over black.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bootlume::picture {

// Writes `pixelCount` RGB pixels over black from interleaved RGBA, each
// channel round(c * a / 255). `rgb` may be `rgba` itself (in place).
void CompositeOverBlack(const std::uint8_t* rgba, std::size_t pixelCount, std::uint8_t* rgb);

}  // namespace bootlume::picture
