// make_worst dense|sparse PATH: writes the image that makes d88adpcm's
// extraction slowest under the walk bound of 65,535 records per track.
//
// Every one of the 39 planned tracks points at the same run of 65,535
// records. No record carries the sought C, and every count says 65,535, so
// each track's walk goes the whole bound before it ends with nothing found:
// 39 x 65,535 headers in all. "dense" packs the records with no data (a
// 1 MiB file, read whole for every track); "sparse" spaces them 8,193 bytes
// apart so that no two headers share an 8 KiB read (a 537 MB file, one read
// per header).
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/LittleEndian.h"
#include "d88/D88Layout.h"

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "dense") != 0 && std::strcmp(argv[1], "sparse") != 0)) {
    std::fprintf(stderr, "Usage: %s dense|sparse PATH\n", argv[0]);
    return 1;
  }
  const uint32_t dataSize = std::strcmp(argv[1], "dense") == 0 ? 0 : 8193 - kSectorHeaderSize;
  const uint32_t records = kMaxRecordsPerTrack;
  const uint32_t fileSize = kDiskHeaderSize + records * (kSectorHeaderSize + dataSize);

  std::vector<uint8_t> header(kDiskHeaderSize, 0);
  std::memcpy(header.data(), "WORST", 5);
  PutLE32(&header[kDiskSizeOffset], fileSize);
  for (int t = 72; t <= 148; t += 2) PutLE32(&header[kTrackTableOffset + 4 * t], kDiskHeaderSize);

  std::vector<uint8_t> record(kSectorHeaderSize + dataSize, 0);
  record[kSectorCOffset] = 0xFF;  // no planned track asks for cylinder 255
  record[kSectorROffset] = 1;
  record[kSectorNOffset] = 1;
  // The largest count: the walk ends at position 65,534, where the bound does too.
  record[kSectorCountOffset] = static_cast<uint8_t>(kMaxRecordsPerTrack);
  record[kSectorCountOffset + 1] = static_cast<uint8_t>(kMaxRecordsPerTrack >> 8);
  record[kDataSizeOffset] = static_cast<uint8_t>(dataSize);
  record[kDataSizeOffset + 1] = static_cast<uint8_t>(dataSize >> 8);

  std::FILE* f = std::fopen(argv[2], "wb");
  if (f == nullptr) {
    std::perror(argv[2]);
    return 1;
  }
  bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size();
  for (uint32_t i = 0; ok && i < records; ++i) ok = std::fwrite(record.data(), 1, record.size(), f) == record.size();
  if (std::fclose(f) != 0 || !ok) {
    std::perror(argv[2]);
    return 1;
  }
  return 0;
}
