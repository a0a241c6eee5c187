// A picture of a sample RAM image as SVG: the address range drawn as rows,
// each sound's waveform envelope with its number and start offset, the
// stretches left out as not sound hatched in red, and the rest (fill and
// silence between sounds) shaded grey.
#ifndef ADPCM2WAV_PICTURE_H_
#define ADPCM2WAV_PICTURE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "adpcm/Sounds.h"

// The SVG document for `image` and what the search `found` in it, each
// sound decoded from reset; `title` heads it. The same input always gives
// the same text.
std::string DrawImage(const uint8_t* image, size_t size, const SoundSearch& found, const std::string& title);

#endif  // ADPCM2WAV_PICTURE_H_
