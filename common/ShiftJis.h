// Shift_JIS (code page 932) text, decoded to UTF-8.
//
// Disk names in D88 images are raw bytes, on Japanese machines Shift_JIS.
// The decoding table is generated at build time from Python's cp932 codec,
// so every platform's build decodes the same bytes to the same text.
#ifndef COMMON_SHIFTJIS_H_
#define COMMON_SHIFTJIS_H_

#include <cstddef>
#include <cstdint>

// Most UTF-8 bytes that one Shift_JIS byte can become: a byte alone (a
// half-width katakana) may become three, and a pair of bytes three as well.
constexpr size_t kUtf8PerShiftJisByte = 3;

// The code point of the Shift_JIS character at `bytes[*at]` (below
// `length`), moving `*at` past it: one byte, or a lead byte with its trail.
// -1 where the bytes are no character (a byte Shift_JIS leaves undefined, a
// lead byte whose trail is missing or out of range, a pair that names
// nothing); `*at` then moves past the first byte only, so that a trail byte
// is never taken as a character of its own unless its lead failed.
int32_t NextShiftJisCharacter(const uint8_t* bytes, size_t length, size_t* at);

// Decodes `length` bytes of Shift_JIS into UTF-8 at `out`, which has room
// for `room` bytes (kUtf8PerShiftJisByte * length always suffices). Returns
// the UTF-8 bytes written, or -1 when the bytes are not Shift_JIS (a byte
// or pair that decodes to nothing, a pair cut off by the end) or the room
// is too small. No terminator is written.
int64_t DecodeShiftJis(const uint8_t* bytes, size_t length, char* out, size_t room);

#endif  // COMMON_SHIFTJIS_H_
