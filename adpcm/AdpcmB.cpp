#include "adpcm/AdpcmB.h"

namespace {

// How the step size grows or shrinks after a code of each magnitude, in
// 64ths: small codes shrink it, large ones widen it.
constexpr int32_t kScale[8] = {57, 57, 57, 57, 77, 102, 128, 153};

constexpr int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

}  // namespace

int16_t AdpcmBDecoder::Decode(uint8_t code) {
  const int32_t magnitude = code & 7;
  // (2m + 1) / 8 of a step, rounded down before the sign is applied.
  int32_t diff = ((2 * magnitude + 1) * step) >> 3;
  if ((code & 8) != 0) diff = -diff;
  acc = Clamp(acc + diff, -32768, 32767);
  step = Clamp((step * kScale[magnitude]) >> 6, 127, 24576);
  return static_cast<int16_t>(acc);
}

void DecodeAdpcmB(const uint8_t* bytes, size_t size, int16_t* samples) {
  AdpcmBDecoder decoder;
  for (size_t i = 0; i < size; ++i) {
    samples[2 * i] = decoder.Decode(static_cast<uint8_t>(bytes[i] >> 4));
    samples[2 * i + 1] = decoder.Decode(static_cast<uint8_t>(bytes[i] & 0x0F));
  }
}
