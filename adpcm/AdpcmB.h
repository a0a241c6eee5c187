// The YM2608's ADPCM-B ("delta-T") sound data: 4-bit codes, two to a byte,
// the high nibble played first. No I/O: bytes in, 16-bit samples out.
#ifndef ADPCM_ADPCMB_H_
#define ADPCM_ADPCMB_H_

#include <cstddef>
#include <cstdint>

// The decoder's state. Every sound starts from this reset state; the chip
// keeps no other memory between codes.
struct AdpcmBDecoder {
  int32_t acc = 0;     // the last sample, -32768 to 32767
  int32_t step = 127;  // the step size, 127 to 24576

  // Plays one 4-bit code (bits 0-2 magnitude, bit 3 sign) and returns the
  // sample it yields. Defined here so that loops over many codes (the
  // search for sounds decodes every byte of them) inline it.
  int16_t Decode(uint8_t code) {
    // How the step size grows or shrinks after a code of each magnitude, in
    // 64ths: small codes shrink it, large ones widen it.
    static constexpr int32_t kScale[8] = {57, 57, 57, 57, 77, 102, 128, 153};
    const int32_t magnitude = code & 7;
    // (2m + 1) / 8 of a step, rounded down before the sign is applied.
    int32_t diff = ((2 * magnitude + 1) * step) >> 3;
    if ((code & 8) != 0) diff = -diff;
    // Sound seldom reaches the clamps: one test of the range, then which.
    int32_t sum = acc + diff;
    if (static_cast<uint32_t>(sum + 32768) > 65535u) sum = sum < 0 ? -32768 : 32767;
    acc = sum;
    const int32_t next = (step * kScale[magnitude]) >> 6;
    const int32_t least = next < 127 ? 127 : next;
    step = least > 24576 ? 24576 : least;
    return static_cast<int16_t>(acc);
  }
};

// Samples a byte yields.
constexpr size_t kSamplesPerByte = 2;

// Decodes `size` bytes from reset into `samples` (2 x size of them).
void DecodeAdpcmB(const uint8_t* bytes, size_t size, int16_t* samples);

// The chip's playback rate for the delta-N register value `deltaN`: its
// master clock (7,987,200 Hz on these boards) / 144 x deltaN / 65,536,
// rounded to the nearest hertz. 9,452 gives 8,000. In integers: 7,987,200 x
// deltaN fits 64 bits for every 32-bit deltaN.
constexpr uint32_t RateForDeltaN(uint32_t deltaN) {
  constexpr uint64_t kClock = 7987200;
  constexpr uint64_t kDivisor = 144ull * 65536;
  return static_cast<uint32_t>((kClock * deltaN + kDivisor / 2) / kDivisor);
}

// The delta-N most programs set, their "16 kHz", and the rate it gives:
// 15,974 Hz. Sounds are played at it unless the user says otherwise.
constexpr uint32_t kCommonDeltaN = 0x49BA;
constexpr uint32_t kCommonRate = RateForDeltaN(kCommonDeltaN);

#endif  // ADPCM_ADPCMB_H_
