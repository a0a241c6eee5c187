// WAV files of 16-bit signed little-endian mono PCM with the canonical
// 44-byte RIFF/WAVE header. Nothing in them but the format, the sizes and
// the samples, so the same samples always give the same file.
#ifndef ADPCM_WAV_H_
#define ADPCM_WAV_H_

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr size_t kWavHeaderSize = 44;

// The most samples one file can describe: its RIFF size field is 32 bits.
constexpr uint32_t kMaxWavSamples = (0xFFFFFFFFu - 36) / 2;

// Writes the header for `samples` samples at `rate` Hz into `out`.
void WavHeader(uint32_t rate, uint32_t samples, uint8_t (&out)[kWavHeaderSize]);

// Writes `count` samples as little-endian 16-bit values into `out` (2 x
// count bytes), whatever the host's byte order.
void WavSamples(const int16_t* samples, size_t count, uint8_t* out);

// The whole file for `count` samples (at most kMaxWavSamples) at `rate` Hz.
std::vector<uint8_t> WavFile(uint32_t rate, const int16_t* samples, size_t count);

#endif  // ADPCM_WAV_H_
