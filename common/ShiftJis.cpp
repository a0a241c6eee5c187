#include "common/ShiftJis.h"

namespace {

#include "ShiftJisTable.inc"

// The table's row of a pair's first byte, or -1 when it begins no pair.
int32_t LeadRow(uint8_t b) {
  if (b >= 0x81 && b <= 0x9F) return b - 0x81;
  if (b >= 0xE0 && b <= 0xFC) return b - 0xE0 + (0x9F - 0x81 + 1);
  return -1;
}

constexpr int32_t kTrailFirst = 0x40;
constexpr int32_t kTrailLast = 0xFC;
constexpr int32_t kTrails = kTrailLast - kTrailFirst + 1;

// Writes `code` (below 0x10000) as UTF-8; false when it does not fit.
bool PutUtf8(uint32_t code, char* out, size_t room, size_t* at) {
  unsigned char bytes[3];
  size_t size;
  if (code < 0x80) {
    bytes[0] = static_cast<unsigned char>(code);
    size = 1;
  } else if (code < 0x800) {
    bytes[0] = static_cast<unsigned char>(0xC0 | (code >> 6));
    bytes[1] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    size = 2;
  } else {
    bytes[0] = static_cast<unsigned char>(0xE0 | (code >> 12));
    bytes[1] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
    bytes[2] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    size = 3;
  }
  if (room - *at < size) return false;
  for (size_t i = 0; i < size; ++i) out[(*at)++] = static_cast<char>(bytes[i]);
  return true;
}

}  // namespace

int32_t NextShiftJisCharacter(const uint8_t* bytes, size_t length, size_t* at) {
  const uint8_t lead = bytes[(*at)++];
  const uint32_t code = kSingle[lead];
  if (code == 0xFFFE) return -1;
  if (code != 0xFFFF) return static_cast<int32_t>(code);
  if (*at == length) return -1;
  const int32_t trail = bytes[*at];
  if (trail < kTrailFirst || trail > kTrailLast) return -1;
  const uint32_t pair = kPairs[LeadRow(lead) * kTrails + (trail - kTrailFirst)];
  if (pair == 0) return -1;
  ++*at;
  return static_cast<int32_t>(pair);
}

int64_t DecodeShiftJis(const uint8_t* bytes, size_t length, char* out, size_t room) {
  size_t written = 0;
  for (size_t i = 0; i < length;) {
    const int32_t code = NextShiftJisCharacter(bytes, length, &i);
    if (code < 0 || !PutUtf8(static_cast<uint32_t>(code), out, room, &written)) return -1;
  }
  return static_cast<int64_t>(written);
}
