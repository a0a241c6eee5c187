// Builds D88 images in memory for tests, benchmarks, fuzz seeds and the
// sample image. Everything is laid out exactly as written: counts, sizes and
// track-table entries can be set to any value, honest or not.
#ifndef KIT_IMAGEBUILDER_H_
#define KIT_IMAGEBUILDER_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/LittleEndian.h"
#include "d88/D88Layout.h"

namespace testimage {

using Bytes = std::vector<uint8_t>;

// Distinct, recognisable data for sector `r` of `track`: no two sectors of a
// standard image share their first bytes, so a sector read from the wrong
// place shows.
inline Bytes SectorData(int track, int r, size_t size, int disk = 0) {
  Bytes data(size);
  for (size_t j = 0; j < size; ++j) {
    data[j] = static_cast<uint8_t>((track * 131 + r * 17 + disk * 71 + static_cast<int>(j) * 3 + (j >> 8)) ^ 0x5A);
  }
  return data;
}

struct Record {
  uint8_t c = 0, h = 0, r = 0, n = 1;
  uint16_t count = 0;  // the track's sector count as this record states it
  uint8_t density = 0;  // 0x40: single density (FM)
  uint8_t deleted = 0;  // 0x10: deleted data
  uint8_t status = 0;   // the disk BIOS's status, 0 = normal
  Bytes data;
  int32_t dataSizeField = -1;  // written instead of data.size() when >= 0
};

inline Record MakeRecord(int c, int h, int r, int n, int count, Bytes data) {
  Record rec;
  rec.c = static_cast<uint8_t>(c);
  rec.h = static_cast<uint8_t>(h);
  rec.r = static_cast<uint8_t>(r);
  rec.n = static_cast<uint8_t>(n);
  rec.count = static_cast<uint16_t>(count);
  rec.data = std::move(data);
  return rec;
}

struct Disk {
  std::string name;           // raw bytes, at most 16 are written
  uint8_t mediaType = 0x20;   // 2HD
  uint8_t writeProtect = 0;
  int tableEntries = kMaxTracks;  // fewer makes the header shorter: 0x20 + 4 x entries bytes
  std::map<int, std::vector<Record>> tracks;  // laid out in track order
  std::map<int, Bytes> rawTracks;             // tracks laid out as these bytes, unformatted ones say
  std::map<int, uint32_t> entryOverride;      // track-table entries to force
  bool sizeOverridden = false;
  uint32_t sizeOverride = 0;

  void SetSize(uint32_t size) {
    sizeOverridden = true;
    sizeOverride = size;
  }

  Bytes Build() const {
    Bytes out(static_cast<size_t>(kTrackTableOffset + 4 * tableEntries), 0);
    for (size_t i = 0; i < name.size() && i < static_cast<size_t>(kDiskNameSize); ++i) {
      out[kDiskNameOffset + i] = static_cast<uint8_t>(name[i]);
    }
    out[kWriteProtectOffset] = writeProtect;
    out[kMediaTypeOffset] = mediaType;
    std::map<int, bool> order;
    for (const auto& entry : tracks) order[entry.first] = true;
    for (const auto& entry : rawTracks) order[entry.first] = true;
    for (const auto& [t, unused] : order) {
      // A track past a short table is laid out but has no entry.
      if (t < tableEntries) PutLE32(&out[kTrackTableOffset + 4 * t], static_cast<uint32_t>(out.size()));
      const auto raw = rawTracks.find(t);
      if (raw != rawTracks.end()) {
        out.insert(out.end(), raw->second.begin(), raw->second.end());
        continue;
      }
      for (const Record& rec : tracks.at(t)) {
        uint8_t header[kSectorHeaderSize] = {};
        header[kSectorCOffset] = rec.c;
        header[kSectorHOffset] = rec.h;
        header[kSectorROffset] = rec.r;
        header[kSectorNOffset] = rec.n;
        PutLE16(header + kSectorCountOffset, rec.count);
        header[kDensityOffset] = rec.density;
        header[kDeletedOffset] = rec.deleted;
        header[kStatusOffset] = rec.status;
        PutLE16(header + kDataSizeOffset,
                rec.dataSizeField >= 0 ? static_cast<uint32_t>(rec.dataSizeField) : static_cast<uint32_t>(rec.data.size()));
        out.insert(out.end(), header, header + kSectorHeaderSize);
        out.insert(out.end(), rec.data.begin(), rec.data.end());
      }
    }
    for (const auto& [t, entry] : entryOverride) PutLE32(&out[kTrackTableOffset + 4 * t], entry);
    PutLE32(&out[kDiskSizeOffset], sizeOverridden ? sizeOverride : static_cast<uint32_t>(out.size()));
    return out;
  }
};

// The records of one honest track: sectors 1..sectors of size code n, each
// stating the true count, with IDs C = track / 2, H = track % 2.
inline std::vector<Record> StandardTrack(int track, int sectors, int n = 1, int disk = 0) {
  std::vector<Record> records;
  for (int r = 1; r <= sectors; ++r) {
    records.push_back(MakeRecord(track >> 1, track & 1, r, n, sectors, SectorData(track, r, 128u << n, disk)));
  }
  return records;
}

// A 2HD disk: `cylinders` cylinders, two heads, 26 sectors of 256 bytes.
inline Disk Standard2HD(int cylinders, const std::string& name = "SAMPLE", int disk = 0) {
  Disk d;
  d.name = name;
  for (int t = 0; t < 2 * cylinders && t < kMaxTracks; ++t) d.tracks[t] = StandardTrack(t, 26, 1, disk);
  return d;
}

// `size` bytes of `data` starting at `from`.
inline Bytes Slice(const Bytes& data, size_t from, size_t size) {
  return Bytes(data.begin() + static_cast<std::ptrdiff_t>(from), data.begin() + static_cast<std::ptrdiff_t>(from + size));
}

inline Bytes Concat(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace testimage

#endif  // KIT_IMAGEBUILDER_H_
