#include "adpcm/AdpcmB.h"

void DecodeAdpcmB(const uint8_t* bytes, size_t size, int16_t* samples) {
  AdpcmBDecoder decoder;
  for (size_t i = 0; i < size; ++i) {
    samples[2 * i] = decoder.Decode(static_cast<uint8_t>(bytes[i] >> 4));
    samples[2 * i + 1] = decoder.Decode(static_cast<uint8_t>(bytes[i] & 0x0F));
  }
}
