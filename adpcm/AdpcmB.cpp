#include "adpcm/AdpcmB.h"

void DecodeAdpcmB(const uint8_t* bytes, size_t size, int16_t* samples) {
  AdpcmBDecoder decoder;
  for (size_t i = 0; i < size; ++i) {
    samples[2 * i] = decoder.Decode(static_cast<uint8_t>(bytes[i] >> 4));
    samples[2 * i + 1] = decoder.Decode(static_cast<uint8_t>(bytes[i] & 0x0F));
  }
}

uint32_t RateForDeltaN(uint32_t deltaN) {
  // 7,987,200 / 144 / 65,536 x deltaN, in integers: 7,987,200 x deltaN fits
  // 64 bits for every 32-bit deltaN.
  constexpr uint64_t kClock = 7987200;
  constexpr uint64_t kDivisor = 144ull * 65536;
  return static_cast<uint32_t>((kClock * deltaN + kDivisor / 2) / kDivisor);
}
