#include "adpcm/Sounds.h"

std::vector<ByteSpan> FindSounds(const uint8_t* image, size_t size, size_t minGap) {
  std::vector<ByteSpan> sounds;
  if (minGap == 0) minGap = 1;
  size_t soundStart = 0;  // where the stretch since the last gap began
  size_t i = 0;
  while (i < size) {
    const uint8_t b = image[i];
    size_t runEnd = i + 1;
    if (b == 0x00 || b == 0xFF) {
      while (runEnd < size && image[runEnd] == b) ++runEnd;
    }
    if (runEnd - i >= minGap && (b == 0x00 || b == 0xFF)) {
      if (i > soundStart) sounds.push_back({soundStart, i});
      soundStart = runEnd;
    }
    i = runEnd;
  }
  if (size > soundStart) sounds.push_back({soundStart, size});
  return sounds;
}
