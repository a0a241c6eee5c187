#include "d88/D88File.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstring>

namespace {

// A sector count is 16 bits wide, so no honest track holds more than 65,535
// records (positions 0 to 65,534). A walk that has not met its track's own
// stop rule by then ends there, so that a crafted image whose counts never
// match cannot make every lookup scan the whole file.
constexpr int32_t kMaxWalk = 65535;

// Requests carry 32-bit values; record bytes are taken as 0 to 255, so a
// requested value outside that range never matches (it is not truncated).
bool IdMatches(const uint8_t* header, int32_t c, int32_t h, int32_t r, int32_t n) {
  return header[kSectorCOffset] == c && header[kSectorHOffset] == h &&
         header[kSectorROffset] == r && header[kSectorNOffset] == n;
}

// Positions are plain 64-bit offsets: a walk may step past 4 GiB even though
// the disk and track offsets it starts from are 32-bit. The results of seeks
// are not consulted: a seek past the end succeeds and the next read is short,
// and a seek also clears the end-of-file state left by a short read.
void SeekTo(std::FILE* fp, int64_t position) { fseeko(fp, static_cast<off_t>(position), SEEK_SET); }
void SeekBy(std::FILE* fp, int64_t distance) { fseeko(fp, static_cast<off_t>(distance), SEEK_CUR); }

bool ReadExactly(std::FILE* fp, uint8_t* dest, size_t size) {
  return std::fread(dest, 1, size, fp) == size;
}

}  // namespace

D88File::~D88File() {
  if (fp != nullptr) std::fclose(fp);
}

bool D88File::Open(const char* path) {
  // Never keep a second stream: whatever happens next, the earlier one is done.
  if (fp != nullptr) {
    std::fclose(fp);
    fp = nullptr;
  }
  if (path == nullptr) {
    diskCount = 0;
    mediaType = -1;
    return true;
  }

  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  // glibc's fopen accepts a directory and fails only at the first read; refuse
  // it here. fstat on the open descriptor follows symbolic links and cannot be
  // raced by a rename between the test and the open.
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode)) {
    std::fclose(file);
    return false;
  }
  fp = file;

  // Disks lie back to back, each found from the previous one's size field;
  // the first header that cannot be read in full ends the image. The sum is
  // taken modulo 2^32, so a size of 0 finds the same header again and again.
  uint32_t offset = 0;
  diskCount = 0;
  while (diskCount < kMaxDisks) {
    diskOffsets[diskCount] = offset;
    uint8_t header[kDiskHeaderSize];
    SeekTo(fp, offset);
    if (!ReadExactly(fp, header, sizeof header)) break;
    offset += GetLE32(header + kDiskSizeOffset);
    ++diskCount;
  }
  return true;
}

bool D88File::SelectDisk(int32_t index) {
  if (fp == nullptr) return false;

  diskOffset = 0xFFFFFFFFu;
  mediaType = -1;
  diskSize = 0;
  name[0] = '\0';
  if (index < 0 || index >= diskCount) return false;

  // Open read this header in full; if it no longer can be (the file shrank
  // since), the disk stays cleared rather than half described.
  uint8_t header[kDiskHeaderSize];
  SeekTo(fp, diskOffsets[index]);
  if (!ReadExactly(fp, header, sizeof header)) return false;

  diskOffset = diskOffsets[index];
  for (int32_t t = 0; t < kMaxTracks; ++t) {
    trackOffsets[t] = GetLE32(header + kTrackTableOffset + 4 * t);
  }
  mediaType = header[kMediaTypeOffset];
  diskSize = GetLE32(header + kDiskSizeOffset);
  // The name field is 16 raw bytes, zero-terminated only when shorter; the
  // 17th byte of `name` is never written and stays zero.
  const uint8_t* field = header + kDiskNameOffset;
  int32_t length = 0;
  while (length < kDiskNameSize && field[length] != 0) ++length;
  std::memcpy(name, field, static_cast<size_t>(length));
  std::memset(name + length, 0, static_cast<size_t>(kDiskNameSize - length));
  return true;
}

void D88File::SetSectorRange(int32_t first, int32_t last) {
  firstSector = first;
  lastSector = last;
}

int64_t D88File::TrackStart(int32_t track) const {
  if (fp == nullptr || track < 0 || track >= kMaxTracks) return -1;
  const uint32_t entry = trackOffsets[track];
  // Entry 0 marks an absent track. An entry equal to the disk size is kept:
  // some images point blank tracks at the end of the disk.
  if (entry == 0 || entry > diskSize) return -1;
  return static_cast<uint32_t>(diskOffset + entry);
}

int32_t D88File::ReadSector(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                            uint8_t* dest, int32_t maxLength) {
  if (maxLength < 0) return 0;
  const int64_t start = TrackStart(track);
  if (start < 0) return 0;

  SeekTo(fp, start);
  for (int32_t i = 0; i < kMaxWalk; ++i) {
    uint8_t header[kSectorHeaderSize];
    if (!ReadExactly(fp, header, sizeof header)) return 0;
    // Every record repeats its track's count and the walk trusts each one
    // afresh; a count of 0 ends the search before the ID is even compared.
    const int32_t count = GetLE16(header + kSectorCountOffset);
    if (count == 0) return 0;
    const int32_t dataSize = GetLE16(header + kDataSizeOffset);
    if (IdMatches(header, c, h, r, n)) {
      const int32_t length = dataSize < maxLength ? dataSize : maxLength;
      // The record's own size decides, not 128 << N. If the file ends inside
      // the data, only what arrived is reported.
      return static_cast<int32_t>(std::fread(dest, 1, static_cast<size_t>(length), fp));
    }
    SeekBy(fp, dataSize);
    // Equality only: a count not above the position never stops the walk.
    if (i == count - 1) return 0;
  }
  return 0;
}

int32_t D88File::ReadSectors(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                             uint8_t* dest, int32_t length) {
  // 128 << n must stay a positive 32-bit value.
  if (n < 0 || n > 23) return 0;
  int32_t piece = 128 << n;
  int32_t done = 0;
  while (done < length) {
    if (length - done < piece) piece = length - done;
    const int32_t got = ReadSector(track, c, h, r, n, dest + done, piece);
    if (got < piece) return done;
    done += piece;
    // A sector was found, so c, h and r are byte values here and the steps
    // below cannot overflow.
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

int32_t D88File::ReadIds(int32_t track, uint8_t* dest, int32_t maxLength) {
  const int64_t start = TrackStart(track);
  if (start < 0 || maxLength < 4) return 0;

  // C, H, R and N lie side by side in every header, in the listing's order.
  static_assert(kSectorHOffset == kSectorCOffset + 1 && kSectorROffset == kSectorCOffset + 2 &&
                    kSectorNOffset == kSectorCOffset + 3,
                "ID bytes are copied as one block");
  SeekTo(fp, start);
  int32_t stored = 0;
  for (int32_t i = 0; i < kMaxWalk && maxLength - stored >= 4; ++i) {
    uint8_t header[kSectorHeaderSize];
    if (!ReadExactly(fp, header, sizeof header)) break;
    std::memcpy(dest + stored, header + kSectorCOffset, 4);
    stored += 4;
    SeekBy(fp, GetLE16(header + kDataSizeOffset));
    if (i == GetLE16(header + kSectorCountOffset) - 1) break;
  }
  return stored;
}
