// Little-endian integers written one byte at a time, whatever the host's
// byte order or alignment: the D88 images the kit builds and the WAV files
// adpcm2wav writes both store their fields this way. (The reader's own
// GetLE16 / GetLE32 read them back; see d88/D88Layout.h.)
#ifndef COMMON_LITTLEENDIAN_H_
#define COMMON_LITTLEENDIAN_H_

#include <cstdint>

inline void PutLE16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline void PutLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

#endif  // COMMON_LITTLEENDIAN_H_
