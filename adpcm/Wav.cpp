#include "adpcm/Wav.h"

#include <cstring>

namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

void WavHeader(uint32_t rate, uint32_t samples, uint8_t (&out)[kWavHeaderSize]) {
  const uint32_t channels = 1, bytesPerSample = 2;
  const uint32_t dataSize = samples * bytesPerSample;
  std::memcpy(out + 0, "RIFF", 4);
  Put32(out + 4, 36 + dataSize);  // the rest of the file after this field
  std::memcpy(out + 8, "WAVE", 4);
  std::memcpy(out + 12, "fmt ", 4);
  Put32(out + 16, 16);  // the size of the PCM format chunk
  Put16(out + 20, 1);   // PCM
  Put16(out + 22, channels);
  Put32(out + 24, rate);
  Put32(out + 28, rate * channels * bytesPerSample);  // bytes a second
  Put16(out + 32, channels * bytesPerSample);         // bytes a frame
  Put16(out + 34, 16);                                // bits a sample
  std::memcpy(out + 36, "data", 4);
  Put32(out + 40, dataSize);
}

void WavSamples(const int16_t* samples, size_t count, uint8_t* out) {
  for (size_t i = 0; i < count; ++i) Put16(out + 2 * i, static_cast<uint16_t>(samples[i]));
}
