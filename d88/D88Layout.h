// The D88 floppy-image layout, as this reader understands it.
//
// An image is one or more disks stored back to back. Each disk starts with a
// fixed 688-byte header holding its name, media type, size and a table of
// track offsets; the tracks are runs of sector records, each a 16-byte header
// followed directly by the sector's data. Every multi-byte integer is
// little-endian.
#ifndef D88_D88LAYOUT_H_
#define D88_D88LAYOUT_H_

#include <cstdint>

// Most disks recognised in one image file.
constexpr int32_t kMaxDisks = 64;
// Entries in a disk's track table (track t = 2 * cylinder + head).
constexpr int32_t kMaxTracks = 164;

// Disk header, at the start of every disk.
constexpr int32_t kDiskHeaderSize = 0x2B0;  // 688 bytes
constexpr int32_t kDiskNameOffset = 0x00;   // 16 raw bytes, zero-terminated when shorter
constexpr int32_t kDiskNameSize = 16;
constexpr int32_t kWriteProtectOffset = 0x1A;  // one byte: non-zero when the disk is write-protected
constexpr int32_t kMediaTypeOffset = 0x1B;  // one byte, kept as its raw value (0x00 2D, 0x10 2DD, 0x20 2HD, ...)
constexpr int32_t kDiskSizeOffset = 0x1C;   // u32: distance to the next disk's header
constexpr int32_t kTrackTableOffset = 0x20; // kMaxTracks x u32, offsets from the disk's start; 0 = absent

// Sector record header, before every sector's data.
constexpr int32_t kSectorHeaderSize = 16;
constexpr int32_t kSectorCOffset = 0x00;      // cylinder byte of the sector ID
constexpr int32_t kSectorHOffset = 0x01;      // head byte
constexpr int32_t kSectorROffset = 0x02;      // sector number
constexpr int32_t kSectorNOffset = 0x03;      // size code: nominally 128 << N bytes
constexpr int32_t kSectorCountOffset = 0x04;  // u16: records in this track, repeated in every record
constexpr int32_t kDensityOffset = 0x06;      // 0x00 double density (MFM), 0x40 single density (FM)
constexpr int32_t kDeletedOffset = 0x07;      // 0x10 when the sector holds deleted data
constexpr int32_t kStatusOffset = 0x08;       // the disk BIOS's status when the image was made; 0 = normal
constexpr int32_t kDataSizeOffset = 0x0E;     // u16: data bytes following this header

// Limits of the reader.
//
// A sector count is 16 bits wide, so no honest track holds more than 65,535
// records (positions 0 to 65,534). Every walk of a track ends after this
// many, so that a crafted image whose counts never end a walk cannot make
// every lookup scan the whole file.
constexpr int32_t kMaxRecordsPerTrack = 65535;
// The largest size code a run accepts: 128 << 23 is the largest piece that
// is still a positive 32-bit value.
constexpr int32_t kMaxRunSizeCode = 23;
// D88File::diskOffset once a selection has been cleared.
constexpr uint32_t kNoDiskOffset = 0xFFFFFFFFu;

// Unsigned little-endian integers at any alignment, one byte at a time, so
// neither alignment nor host byte order matters. No bounds checking: the
// caller guarantees 2 (or 4) readable bytes.
inline uint16_t GetLE16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

inline uint32_t GetLE32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

#endif  // D88_D88LAYOUT_H_
