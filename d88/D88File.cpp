#include "d88/D88File.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstring>

namespace {

// Positions are plain 64-bit offsets: a walk may step past 4 GiB even though
// the disk and track offsets it starts from are 32-bit. The result of the
// seek is not consulted: a seek past the end succeeds and the read after it
// comes up short. Every read is preceded by a seek, which also clears the
// end-of-file state that a short read leaves on the stream.
void SeekTo(std::FILE* fp, int64_t position) {
#ifdef _WIN32
  _fseeki64(fp, position, SEEK_SET);
#else
  fseeko(fp, static_cast<off_t>(position), SEEK_SET);
#endif
}

// The file's size as it is now.
int64_t FileSize(std::FILE* fp) {
#ifdef _WIN32
  _fseeki64(fp, 0, SEEK_END);
  return _ftelli64(fp);
#else
  fseeko(fp, 0, SEEK_END);
  return ftello(fp);
#endif
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
  // it here (Windows refuses it at the open already). fstat on the open descriptor follows symbolic links and cannot be
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

  diskOffset = kNoDiskOffset;
  mediaType = -1;
  diskSize = 0;
  name[0] = '\0';
  tableEntries = 0;
  writeProtected = false;
  if (index < 0 || index >= diskCount) return false;

  // Open read this header in full; if it no longer can be (the file shrank
  // since), the disk stays cleared rather than half described.
  uint8_t header[kDiskHeaderSize];
  if (Fetch(diskOffsets[index], header, kDiskHeaderSize) < kDiskHeaderSize) return false;

  diskOffset = diskOffsets[index];
  uint32_t firstRecords = 0xFFFFFFFFu;  // the smallest non-zero entry so far
  tableEntries = kMaxTracks;
  for (int32_t t = 0; t < kMaxTracks; ++t) {
    trackOffsets[t] = GetLE32(header + kTrackTableOffset + 4 * t);
    if (tableEntries == kMaxTracks && static_cast<uint32_t>(kTrackTableOffset + 4 * t) >= firstRecords) {
      tableEntries = t;
    }
    if (trackOffsets[t] != 0 && trackOffsets[t] < firstRecords) firstRecords = trackOffsets[t];
  }
  mediaType = header[kMediaTypeOffset];
  writeProtected = header[kWriteProtectOffset] != 0;
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

int64_t D88File::GetFileSize() {
  // Every read seeks first, so moving the file position here is harmless.
  return fp == nullptr ? -1 : FileSize(fp);
}

void D88File::SetSectorRange(int32_t first, int32_t last) {
  firstSector = first;
  lastSector = last;
}

int64_t D88File::TrackStart(int32_t track) const {
  if (fp == nullptr || track < 0 || track >= tableEntries) return -1;
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

D88File::TrackWalk D88File::BeginWalk(int32_t track) const {
  TrackWalk walk;
  walk.next = TrackStart(track);
  walk.ended = walk.next < 0;
  return walk;
}

inline int64_t D88File::NextRecord(TrackWalk& walk, bool zeroCountEnds, uint8_t (&header)[kSectorHeaderSize]) {
  if (walk.ended) return -1;
  const int64_t at = walk.next;
  if (Fetch(at, header, kSectorHeaderSize) < kSectorHeaderSize) {
    walk.ended = true;
    walk.end = WalkEnd::kFileEnd;
    return -1;
  }
  const int32_t count = GetLE16(header + kSectorCountOffset);
  if (count == 0 && zeroCountEnds) {
    walk.ended = true;
    walk.end = WalkEnd::kCountZero;
    return -1;
  }
  walk.next = at + kSectorHeaderSize + GetLE16(header + kDataSizeOffset);
  // Equality only: a count not above the index never stops the walk, and a
  // count of 0 (when walked past) gives -1, which no index equals.
  if (walk.record == count - 1) {
    walk.ended = true;
    walk.end = WalkEnd::kLastRecord;
  } else if (++walk.record == kMaxRecordsPerTrack) {
    walk.ended = true;
    walk.end = WalkEnd::kWalkBound;
  }
  return at;
}

void D88File::StartSearch(int32_t track, int32_t c, int32_t h, int32_t n) {
  search.underWay = true;
  search.track = track;
  search.c = c;
  search.h = h;
  search.n = n;
  for (int64_t& at : search.dataAt) at = -1;
  search.walk = BeginWalk(track);
  // Requests carry 32-bit values and record bytes are taken as 0 to 255, so
  // a value outside that range matches nothing (it is not truncated to a
  // byte): there is nothing to walk for.
  const bool byteIds = c >= 0 && c <= 255 && h >= 0 && h <= 255 && n >= 0 && n <= 255;
  if (!byteIds) search.walk.ended = true;
}

// Inline: it runs once for every sector of a run, and as a call of its own it
// would add a tenth to the instructions of a whole extraction.
inline int32_t D88File::FindSector(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n, uint8_t* dest,
                            int32_t maxLength) {
  if (!search.underWay || track != search.track || c != search.c || h != search.h || n != search.n) {
    StartSearch(track, c, h, n);
  }
  if (r < 0 || r > 255) return 0;
  while (search.dataAt[r] < 0) {
    // A count of 0 ends the search before the ID is even compared.
    uint8_t header[kSectorHeaderSize];
    const int64_t at = NextRecord(search.walk, /*zeroCountEnds=*/true, header);
    if (at < 0) return 0;
    // Only the first record of an ID counts; later duplicates are never read.
    const uint8_t recordR = header[kSectorROffset];
    if (header[kSectorCOffset] == c && header[kSectorHOffset] == h && header[kSectorNOffset] == n &&
        search.dataAt[recordR] < 0) {
      search.dataAt[recordR] = at + kSectorHeaderSize;
      search.dataSize[recordR] = GetLE16(header + kDataSizeOffset);
    }
  }
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
  if (n < 0 || n > kMaxRunSizeCode) return 0;
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
  if (TrackStart(track) < 0 || maxLength < 4) return 0;

  // C, H, R and N lie side by side in every header, in the listing's order.
  static_assert(kSectorHOffset == kSectorCOffset + 1 && kSectorROffset == kSectorCOffset + 2 &&
                    kSectorNOffset == kSectorCOffset + 3,
                "ID bytes are copied as one block");
  ForgetReads();
  TrackWalk walk = BeginWalk(track);
  int32_t stored = 0;
  uint8_t header[kSectorHeaderSize];
  // Unlike the sector search, a count of 0 does not end the listing.
  while (maxLength - stored >= 4 && NextRecord(walk, /*zeroCountEnds=*/false, header) >= 0) {
    std::memcpy(dest + stored, header + kSectorCOffset, 4);
    stored += 4;
  }
  return stored;
}

RecordListing D88File::ReadRecords(int32_t track, SectorRecord* dest, int32_t maxRecords) {
  RecordListing listing;
  const int64_t start = TrackStart(track);
  if (start < 0) return listing;
  ForgetReads();

  // Where the track can end at the latest: the disk's end, and the start of
  // the nearest track that begins after this one. Both are measured from
  // this track's start, since the start itself is formed modulo 2^32.
  const uint32_t entry = trackOffsets[track];
  const int64_t diskEnd = start + (diskSize - entry);
  int64_t trackEnd = diskEnd;
  for (int32_t t = 0; t < tableEntries; ++t) {
    const uint32_t other = trackOffsets[t];
    if (other > entry && other <= diskSize && start + (other - entry) < trackEnd) trackEnd = start + (other - entry);
  }
  // The file's size as it is now, to tell how much of each record's data it holds.
  const int64_t fileSize = FileSize(fp);

  TrackWalk walk = BeginWalk(track);
  while (true) {
    if (walk.next >= diskEnd || walk.next >= trackEnd) {
      listing.end = walk.next >= diskEnd && diskEnd <= trackEnd ? WalkEnd::kDiskEnd : WalkEnd::kTrackEnd;
      break;
    }
    if (listing.records == maxRecords) {
      listing.end = WalkEnd::kFull;
      break;
    }
    uint8_t header[kSectorHeaderSize];
    const int64_t at = NextRecord(walk, /*zeroCountEnds=*/true, header);
    if (at < 0) {
      listing.end = walk.end;
      break;
    }
    SectorRecord& record = dest[listing.records++];
    record.offset = at;
    record.c = header[kSectorCOffset];
    record.h = header[kSectorHOffset];
    record.r = header[kSectorROffset];
    record.n = header[kSectorNOffset];
    record.count = GetLE16(header + kSectorCountOffset);
    record.dataSize = GetLE16(header + kDataSizeOffset);
    record.density = header[kDensityOffset];
    record.deleted = header[kDeletedOffset];
    record.status = header[kStatusOffset];
    const int64_t held = fileSize - (at + kSectorHeaderSize);
    record.dataPresent = held < record.dataSize ? static_cast<uint16_t>(held > 0 ? held : 0) : record.dataSize;
    if (record.dataPresent < record.dataSize) {
      listing.end = WalkEnd::kFileEnd;
      break;
    }
    if (walk.ended) {
      listing.end = walk.end;
      break;
    }
  }
  return listing;
}

int32_t D88File::ReadRecordData(const SectorRecord& record, uint8_t* dest, int32_t maxLength) {
  if (fp == nullptr || record.offset < 0 || maxLength <= 0) return 0;
  ForgetReads();
  const int32_t length = record.dataSize < maxLength ? record.dataSize : maxLength;
  return Fetch(record.offset + kSectorHeaderSize, dest, length);
}
