// A plain model of the reader for differential tests: the image is a byte
// array in memory, and every sector lookup walks its track from the first
// record, exactly as the format's rules read. D88File must give the same
// results and the same bytes for every call.
#ifndef KIT_REFERENCEREADER_H_
#define KIT_REFERENCEREADER_H_

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "d88/D88File.h"

// True when two listed records agree in every field.
inline bool SameRecord(const SectorRecord& a, const SectorRecord& b) {
  return a.offset == b.offset && a.c == b.c && a.h == b.h && a.r == b.r && a.n == b.n && a.count == b.count &&
         a.dataSize == b.dataSize && a.density == b.density && a.deleted == b.deleted && a.status == b.status &&
         a.dataPresent == b.dataPresent;
}

class ReferenceReader {
 public:
  explicit ReferenceReader(const std::vector<uint8_t>& file) : file_(file) {
    uint32_t offset = 0;
    while (diskCount < kMaxDisks) {
      uint8_t header[kDiskHeaderSize];
      if (Read(offset, header, kDiskHeaderSize) < kDiskHeaderSize) break;
      diskOffsets[diskCount++] = offset;
      offset += GetLE32(header + kDiskSizeOffset);
    }
  }

  bool SelectDisk(int32_t index) {
    diskSize = 0;
    if (index < 0 || index >= diskCount) return false;
    uint8_t header[kDiskHeaderSize];
    Read(diskOffsets[index], header, kDiskHeaderSize);
    diskOffset = diskOffsets[index];
    for (int32_t t = 0; t < kMaxTracks; ++t) trackOffsets[t] = GetLE32(header + kTrackTableOffset + 4 * t);
    diskSize = GetLE32(header + kDiskSizeOffset);
    // The table ends at the first entry lying at or past the smallest
    // non-zero offset of the entries before it.
    tableEntries = kMaxTracks;
    for (int32_t t = 0; t < kMaxTracks && tableEntries == kMaxTracks; ++t) {
      for (int32_t before = 0; before < t; ++before) {
        const uint32_t entry = trackOffsets[before];
        if (entry != 0 && static_cast<uint32_t>(kTrackTableOffset + 4 * t) >= entry) tableEntries = t;
      }
    }
    return true;
  }

  int32_t ReadSector(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n, uint8_t* dest, int32_t maxLength) const {
    if (maxLength < 0 || !Readable(track)) return 0;
    int64_t at = static_cast<uint32_t>(diskOffset + trackOffsets[track]);
    for (int32_t i = 0; i < kMaxRecordsPerTrack; ++i) {
      uint8_t header[kSectorHeaderSize];
      if (Read(at, header, kSectorHeaderSize) < kSectorHeaderSize) return 0;
      at += kSectorHeaderSize;
      const int32_t count = GetLE16(header + kSectorCountOffset);
      if (count == 0) return 0;
      const int32_t size = GetLE16(header + kDataSizeOffset);
      if (header[0] == c && header[1] == h && header[2] == r && header[3] == n) {
        return Read(at, dest, size < maxLength ? size : maxLength);
      }
      at += size;
      if (i == count - 1) return 0;
    }
    return 0;
  }

  int32_t ReadSectors(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n, uint8_t* dest, int32_t length) const {
    if (n < 0 || n > kMaxRunSizeCode) return 0;
    int32_t piece = 128 << n;
    int32_t done = 0;
    while (done < length) {
      if (length - done < piece) piece = length - done;
      if (ReadSector(track, c, h, r, n, dest + done, piece) < piece) return done;
      done += piece;
      if (r == lastSector) {
        ++track;
        if (h == 0) {
          h = 1;
        } else {
          h = 0;
          ++c;
        }
        r = firstSector;
      } else {
        ++r;
      }
    }
    return done;
  }

  int32_t ReadIds(int32_t track, uint8_t* dest, int32_t maxLength) const {
    if (!Readable(track)) return 0;
    int64_t at = static_cast<uint32_t>(diskOffset + trackOffsets[track]);
    int32_t stored = 0;
    for (int32_t i = 0; i < kMaxRecordsPerTrack && 4 * (i + 1) <= maxLength; ++i) {
      uint8_t header[kSectorHeaderSize];
      if (Read(at, header, kSectorHeaderSize) < kSectorHeaderSize) break;
      std::memcpy(dest + 4 * i, header, 4);
      stored += 4;
      at += kSectorHeaderSize + GetLE16(header + kDataSizeOffset);
      if (i == GetLE16(header + kSectorCountOffset) - 1) break;
    }
    return stored;
  }

  // Every record of the track with all its fields, ending at the sector
  // search's stop rules, at the next track's start and at the disk's end.
  RecordListing ReadRecords(int32_t track, SectorRecord* dest, int32_t maxRecords) const {
    RecordListing out;
    if (!Readable(track)) return out;
    const uint32_t entry = trackOffsets[track];
    const int64_t start = static_cast<uint32_t>(diskOffset + entry);
    const int64_t diskEnd = start + (diskSize - entry);
    int64_t trackEnd = diskEnd;
    for (int32_t t = 0; t < tableEntries; ++t) {
      if (trackOffsets[t] > entry && trackOffsets[t] <= diskSize) {
        trackEnd = std::min<int64_t>(trackEnd, start + (trackOffsets[t] - entry));
      }
    }
    int64_t at = start;
    for (int32_t i = 0;; ++i) {
      if (at >= diskEnd && diskEnd <= trackEnd) return {i, WalkEnd::kDiskEnd};
      if (at >= trackEnd) return {i, WalkEnd::kTrackEnd};
      if (i == maxRecords) return {i, WalkEnd::kFull};
      uint8_t header[kSectorHeaderSize];
      if (Read(at, header, kSectorHeaderSize) < kSectorHeaderSize) return {i, WalkEnd::kFileEnd};
      const int32_t count = GetLE16(header + 4);
      if (count == 0) return {i, WalkEnd::kCountZero};
      SectorRecord& rec = dest[i];
      rec.offset = at;
      rec.c = header[0];
      rec.h = header[1];
      rec.r = header[2];
      rec.n = header[3];
      rec.count = static_cast<uint16_t>(count);
      rec.density = header[6];
      rec.deleted = header[7];
      rec.status = header[8];
      rec.dataSize = GetLE16(header + 14);
      const int64_t held = static_cast<int64_t>(file_.size()) - (at + kSectorHeaderSize);
      rec.dataPresent = static_cast<uint16_t>(std::max<int64_t>(0, std::min<int64_t>(held, rec.dataSize)));
      if (rec.dataPresent < rec.dataSize) return {i + 1, WalkEnd::kFileEnd};
      if (i == count - 1) return {i + 1, WalkEnd::kLastRecord};
      if (i + 1 == kMaxRecordsPerTrack) return {i + 1, WalkEnd::kWalkBound};
      at += kSectorHeaderSize + rec.dataSize;
    }
  }

  int32_t diskCount = 0;
  int32_t firstSector = 1;
  int32_t lastSector = 16;
  uint32_t diskOffsets[kMaxDisks] = {};
  uint32_t diskSize = 0;
  uint32_t diskOffset = 0;
  uint32_t trackOffsets[kMaxTracks] = {};
  int32_t tableEntries = 0;

 private:
  bool Readable(int32_t track) const {
    return track >= 0 && track < tableEntries && trackOffsets[track] != 0 && trackOffsets[track] <= diskSize;
  }

  // Bytes at `at`, as many as the file holds, like a seek and a read.
  int32_t Read(int64_t at, uint8_t* dest, int32_t size) const {
    if (size <= 0 || at >= static_cast<int64_t>(file_.size())) return 0;
    const int64_t available = static_cast<int64_t>(file_.size()) - at;
    const int32_t got = available < size ? static_cast<int32_t>(available) : size;
    std::memcpy(dest, file_.data() + at, static_cast<size_t>(got));
    return got;
  }

  const std::vector<uint8_t>& file_;
};

#endif  // KIT_REFERENCEREADER_H_
