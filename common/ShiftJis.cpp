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

int64_t DecodeShiftJis(const uint8_t* bytes, size_t length, char* out, size_t room) {
  size_t written = 0;
  for (size_t i = 0; i < length; ++i) {
    uint32_t code = kSingle[bytes[i]];
    if (code == 0xFFFF) {
      if (i + 1 == length) return -1;
      const int32_t trail = bytes[++i];
      if (trail < kTrailFirst || trail > kTrailLast) return -1;
      code = kPairs[LeadRow(bytes[i - 1]) * kTrails + (trail - kTrailFirst)];
      if (code == 0) return -1;
    } else if (code == 0xFFFE) {
      return -1;
    }
    if (!PutUtf8(code, out, room, &written)) return -1;
  }
  return static_cast<int64_t>(written);
}
