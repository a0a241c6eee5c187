// A plain ADPCM-B encoder, for test sounds and the sample image: for each
// sample x, code = min(7, 4 |x - acc| / step) with the sign bit set when x
// lies below acc, then the decoder's own state update, so that encoder and
// decoder never drift apart. Other tools choose codes differently; the
// rounding variant, min(7, round(4 |x - acc| / step)), stands for them so
// that nothing that reads these sounds is fitted to one encoder's habits.
#ifndef KIT_ADPCMENCODER_H_
#define KIT_ADPCMENCODER_H_

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "adpcm/AdpcmB.h"

namespace testimage {

enum class CodeChoice { kTruncate, kRound };

inline uint8_t EncodeSample(AdpcmBDecoder& state, int32_t x, CodeChoice choice = CodeChoice::kTruncate) {
  const int32_t difference = x - state.acc;
  const int32_t rounding = choice == CodeChoice::kRound ? state.step / 2 : 0;
  int32_t magnitude = (4 * std::abs(difference) + rounding) / state.step;
  if (magnitude > 7) magnitude = 7;
  const uint8_t code = static_cast<uint8_t>(magnitude | (difference < 0 ? 8 : 0));
  state.Decode(code);
  return code;
}

// Two codes a byte, the first in the high nibble; an odd count repeats the
// last sample.
inline std::vector<uint8_t> EncodeAdpcmB(const std::vector<int16_t>& samples, CodeChoice choice = CodeChoice::kTruncate) {
  AdpcmBDecoder state;
  std::vector<uint8_t> bytes((samples.size() + 1) / 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const int16_t second = 2 * i + 1 < samples.size() ? samples[2 * i + 1] : samples[2 * i];
    const uint8_t high = EncodeSample(state, samples[2 * i], choice);
    bytes[i] = static_cast<uint8_t>(high << 4 | EncodeSample(state, second, choice));
  }
  return bytes;
}

}  // namespace testimage

#endif  // KIT_ADPCMENCODER_H_
