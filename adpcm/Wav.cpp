#include "adpcm/Wav.h"

#include <cstring>

#include "common/LittleEndian.h"

void WavHeader(uint32_t rate, uint32_t samples, uint8_t (&out)[kWavHeaderSize]) {
  const uint32_t channels = 1, bytesPerSample = 2;
  const uint32_t dataSize = samples * bytesPerSample;
  std::memcpy(out + 0, "RIFF", 4);
  PutLE32(out + 4, 36 + dataSize);  // the rest of the file after this field
  std::memcpy(out + 8, "WAVE", 4);
  std::memcpy(out + 12, "fmt ", 4);
  PutLE32(out + 16, 16);  // the size of the PCM format chunk
  PutLE16(out + 20, 1);   // PCM
  PutLE16(out + 22, channels);
  PutLE32(out + 24, rate);
  PutLE32(out + 28, rate * channels * bytesPerSample);  // bytes a second
  PutLE16(out + 32, channels * bytesPerSample);         // bytes a frame
  PutLE16(out + 34, 16);                                // bits a sample
  std::memcpy(out + 36, "data", 4);
  PutLE32(out + 40, dataSize);
}

void WavSamples(const int16_t* samples, size_t count, uint8_t* out) {
  for (size_t i = 0; i < count; ++i) PutLE16(out + 2 * i, static_cast<uint16_t>(samples[i]));
}

std::vector<uint8_t> WavFile(uint32_t rate, const int16_t* samples, size_t count) {
  std::vector<uint8_t> bytes(kWavHeaderSize + 2 * count);
  uint8_t header[kWavHeaderSize];
  WavHeader(rate, static_cast<uint32_t>(count), header);
  std::memcpy(bytes.data(), header, kWavHeaderSize);
  WavSamples(samples, count, bytes.data() + kWavHeaderSize);
  return bytes;
}
