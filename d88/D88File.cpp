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

// Positions are plain 64-bit offsets: a walk may step past 4 GiB even though
// the disk and track offsets it starts from are 32-bit. The result of the
// seek is not consulted: a seek past the end succeeds and the read after it
// comes up short. Every read is preceded by a seek, which also clears the
// end-of-file state that a short read leaves on the stream.
void SeekTo(std::FILE* fp, int64_t position) { fseeko(fp, static_cast<off_t>(position), SEEK_SET); }

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
  // All reads go through the reader's own window, in blocks of kWindowSize:
  // a stdio buffer would only add a copy, and glibc fills one by first
  // reading up to a block boundary, which costs a second read per block.
  std::setvbuf(fp, nullptr, _IONBF, 0);
  ForgetReads();

  // Disks lie back to back, each found from the previous one's size field;
  // the first header that cannot be read in full ends the image. The sum is
  // taken modulo 2^32, so a size of 0 finds the same header again and again.
  uint32_t offset = 0;
  diskCount = 0;
  while (diskCount < kMaxDisks) {
    diskOffsets[diskCount] = offset;
    uint8_t header[kDiskHeaderSize];
    if (Fetch(offset, header, kDiskHeaderSize) < kDiskHeaderSize) break;
    offset += GetLE32(header + kDiskSizeOffset);
    ++diskCount;
  }
  return true;
}

bool D88File::SelectDisk(int32_t index) {
  if (fp == nullptr) return false;
  ForgetReads();

  diskOffset = 0xFFFFFFFFu;
  mediaType = -1;
  diskSize = 0;
  name[0] = '\0';
  if (index < 0 || index >= diskCount) return false;

  // Open read this header in full; if it no longer can be (the file shrank
  // since), the disk stays cleared rather than half described.
  uint8_t header[kDiskHeaderSize];
  if (Fetch(diskOffsets[index], header, kDiskHeaderSize) < kDiskHeaderSize) return false;

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

int32_t D88File::Fetch(int64_t position, uint8_t* dest, int32_t size) {
  if (size <= 0) return 0;
  const bool inWindow = position >= windowStart && (position + size <= windowStart + windowLength || windowAtEnd);
  if (!inWindow) {
    SeekTo(fp, position);
    // A sector longer than the window goes straight to the caller.
    if (size > kWindowSize) return static_cast<int32_t>(std::fread(dest, 1, static_cast<size_t>(size), fp));
    windowStart = position;
    windowLength = static_cast<int32_t>(std::fread(window, 1, kWindowSize, fp));
    windowAtEnd = windowLength < kWindowSize;
  }
  // Past the window's end lies the end of the file: a short read.
  const int64_t available = windowStart + windowLength - position;
  const int32_t delivered = available < size ? static_cast<int32_t>(available > 0 ? available : 0) : size;
  if (delivered > 0) std::memcpy(dest, window + (position - windowStart), static_cast<size_t>(delivered));
  return delivered;
}

void D88File::ForgetReads() {
  windowStart = 0;
  windowLength = 0;
  windowAtEnd = false;
  search.underWay = false;
}

void D88File::StartSearch(int32_t track, int32_t c, int32_t h, int32_t n) {
  search.underWay = true;
  search.track = track;
  search.c = c;
  search.h = h;
  search.n = n;
  for (int64_t& at : search.dataAt) at = -1;
  search.next = TrackStart(track);
  search.position = 0;
  // Requests carry 32-bit values and record bytes are taken as 0 to 255, so
  // a value outside that range matches nothing (it is not truncated to a
  // byte): there is nothing to walk for.
  const bool byteIds = c >= 0 && c <= 255 && h >= 0 && h <= 255 && n >= 0 && n <= 255;
  search.ended = search.next < 0 || !byteIds;
}

void D88File::StepSearch() {
  uint8_t header[kSectorHeaderSize];
  if (Fetch(search.next, header, kSectorHeaderSize) < kSectorHeaderSize) {
    search.ended = true;
    return;
  }
  // Every record repeats its track's count and the walk trusts each one
  // afresh; a count of 0 ends the search before the ID is even compared.
  const int32_t count = GetLE16(header + kSectorCountOffset);
  if (count == 0) {
    search.ended = true;
    return;
  }
  const uint16_t dataSize = GetLE16(header + kDataSizeOffset);
  const uint8_t r = header[kSectorROffset];
  // Only the first record of an ID counts; later duplicates are never read.
  if (header[kSectorCOffset] == search.c && header[kSectorHOffset] == search.h &&
      header[kSectorNOffset] == search.n && search.dataAt[r] < 0) {
    search.dataAt[r] = search.next + kSectorHeaderSize;
    search.dataSize[r] = dataSize;
  }
  // The record's own size decides where the next one starts, not 128 << N.
  search.next += kSectorHeaderSize + dataSize;
  // Equality only: a count not above the position never stops the walk.
  if (search.position == count - 1 || ++search.position == kMaxWalk) search.ended = true;
}

int32_t D88File::FindSector(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n, uint8_t* dest,
                            int32_t maxLength) {
  if (!search.underWay || track != search.track || c != search.c || h != search.h || n != search.n) {
    StartSearch(track, c, h, n);
  }
  if (r < 0 || r > 255) return 0;
  while (search.dataAt[r] < 0 && !search.ended) StepSearch();
  if (search.dataAt[r] < 0) return 0;
  const int32_t length = search.dataSize[r] < maxLength ? search.dataSize[r] : maxLength;
  // If the file ends inside the data, only what arrived is reported.
  return Fetch(search.dataAt[r], dest, length);
}

int32_t D88File::ReadSector(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                            uint8_t* dest, int32_t maxLength) {
  if (maxLength < 0) return 0;
  ForgetReads();
  return FindSector(track, c, h, r, n, dest, maxLength);
}

int32_t D88File::ReadSectors(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                             uint8_t* dest, int32_t length) {
  // 128 << n must stay a positive 32-bit value.
  if (n < 0 || n > 23) return 0;
  ForgetReads();
  int32_t piece = 128 << n;
  int32_t done = 0;
  while (done < length) {
    if (length - done < piece) piece = length - done;
    const int32_t got = FindSector(track, c, h, r, n, dest + done, piece);
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
  ForgetReads();
  int64_t next = start;
  int32_t stored = 0;
  for (int32_t i = 0; i < kMaxWalk && maxLength - stored >= 4; ++i) {
    uint8_t header[kSectorHeaderSize];
    if (Fetch(next, header, kSectorHeaderSize) < kSectorHeaderSize) break;
    std::memcpy(dest + stored, header + kSectorCOffset, 4);
    stored += 4;
    next += kSectorHeaderSize + GetLE16(header + kDataSizeOffset);
    // Unlike the sector search, a count of 0 does not end the listing.
    if (i == GetLE16(header + kSectorCountOffset) - 1) break;
  }
  return stored;
}
