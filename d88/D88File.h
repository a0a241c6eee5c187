// D88File: a reader for D88 floppy-disk images of up to kMaxDisks disks.
//
// Usage: Open(path), SelectDisk(index), optionally SetSectorRange(first, last),
// then ReadSector / ReadSectors. Sectors are addressed by their recorded ID
// (C, H, R, N); the reader never trusts the image, and reports failure only
// through its results: false, or a byte count that is 0 or short.
//
// Ownership: the object owns the stream `fp` and closes it in Open(nullptr)
// and in its destructor. It is neither copyable nor movable. All operations
// move the stream's one file position, so an instance is single-threaded.
#ifndef D88_D88FILE_H_
#define D88_D88FILE_H_

#include <cstdint>
#include <cstdio>

#include "d88/D88Layout.h"

// One sector record of a track, as ReadRecords lists it.
struct SectorRecord {
  int64_t offset = 0;     // file offset of the record's 16-byte header
  uint8_t c = 0, h = 0, r = 0, n = 0;  // the sector ID
  uint16_t count = 0;     // the track's sector count, as this record states it
  uint16_t dataSize = 0;  // data bytes after the header, as recorded
  uint8_t density = 0;    // 0x00 double density (MFM), 0x40 single density (FM)
  uint8_t deleted = 0;    // 0x10: deleted data
  uint8_t status = 0;     // disk BIOS status when the image was made; 0 = normal
  uint16_t dataPresent = 0;  // data bytes the file holds: fewer than dataSize when it ends inside
};

// Why a walk of a track's records ended.
enum class WalkEnd : int32_t {
  kLastRecord,  // after the record whose index equals its own count minus 1
  kCountZero,   // at a header saying count 0, not listed: a sector search ends there too
  kFileEnd,     // the file ends inside a header, or inside the last listed record's data
  kTrackEnd,    // the next header would lie where another track begins
  kDiskEnd,     // the next header would lie at or past the end of the disk
  kWalkBound,   // after kMaxRecordsPerTrack records
  kFull,        // the caller's room is full; more records may follow
  kNoTrack,     // the track cannot be read: absent, past the table, no disk or no file
};

// The result of ReadRecords: records stored, and why the listing ended.
struct RecordListing {
  int32_t records = 0;
  WalkEnd end = WalkEnd::kNoTrack;
};

class D88File {
 public:
  D88File() = default;
  ~D88File();
  D88File(const D88File&) = delete;
  D88File& operator=(const D88File&) = delete;

  // Opens `path` ("rb") and counts the disks in it; true even when it holds
  // none. A directory, a missing or unreadable file fails: no file is open
  // afterwards and diskCount keeps its value. A stream already open is closed
  // first. A null path closes the file instead (always true). The current
  // disk is left as it was either way.
  bool Open(const char* path);

  // Makes disk `index` (0-based, in file order) current. Without an open file
  // it returns false and changes nothing; otherwise it first clears the
  // current disk, so a failed selection leaves no disk current.
  bool SelectDisk(int32_t index);

  // Sector numbers that begin and end every track, for runs that step from
  // one track to the next. No checks; kept across Open and SelectDisk.
  void SetSectorRange(int32_t first, int32_t last);

  // Copies the data of the first record with ID (c, h, r, n) in `track` of
  // the current disk into `dest`, at most `maxLength` bytes. Returns the
  // number of bytes delivered: 0 when the sector is not found, and fewer than
  // asked when the file ends inside its data. `dest` past that is untouched.
  int32_t ReadSector(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n, uint8_t* dest,
                     int32_t maxLength);

  // Copies `length` bytes of consecutive sectors, starting with (c, h, r, n)
  // in `track`, in pieces of 128 << n bytes (the last piece may be shorter).
  // After sector lastSector the run moves to track + 1, toggles the head
  // (stepping the cylinder after head 1) and restarts at firstSector.
  // Returns the bytes of the pieces completed; it stops at the first missing
  // or short sector, whose delivered bytes are nonetheless in `dest`.
  int32_t ReadSectors(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n, uint8_t* dest,
                      int32_t length);

  // Lists the IDs of `track`'s records in file order: 4 bytes each, C, H, R,
  // N. Returns the bytes stored, a multiple of 4 never above `maxLength`.
  // Unlike a sector search, a record whose count is 0 is listed and walked
  // past; the listing ends at the track's own last record, at a header cut
  // short, when `dest` is full, or after 65,535 records.
  int32_t ReadIds(int32_t track, uint8_t* dest, int32_t maxLength);

  // Lists the records of `track` in file order, with every field of their
  // headers, for a listing a person reads. Its walk keeps the sector
  // search's stop rules (a header saying count 0 ends it, unlisted), and
  // also ends where the track can no longer lie: at the start of the next
  // track in the table and at the end of the disk. At most `maxRecords`.
  RecordListing ReadRecords(int32_t track, SectorRecord* dest, int32_t maxRecords);

  // Copies the data of `record`, as ReadRecords listed it, from the open
  // file: the record.dataSize bytes after its header at record.offset, at
  // most `maxLength` of them. Returns the bytes delivered, fewer where the
  // file ends inside them (record.dataPresent when the file is unchanged);
  // `dest` past them is untouched. 0 without a file. Unlike ReadSector it
  // reaches every record, a second record with the same ID included.
  int32_t ReadRecordData(const SectorRecord& record, uint8_t* dest, int32_t maxLength);

  // Entries of the current disk's track table that really are entries; see
  // tableEntries below. 0 when no disk is current.
  int32_t GetTableEntries() const { return tableEntries; }
  // Whether the current disk's header marks it write-protected (any
  // non-zero byte at 0x1A). False when no disk is current.
  bool IsWriteProtected() const { return writeProtected; }

  // The size of the open file as it is now, or -1 when no file is open.
  int64_t GetFileSize();

  // Disks found by the last successful Open (0 after Open(nullptr)).
  int32_t GetDiskCount() const { return diskCount; }
  // The current disk's name: the `name` member itself, so it follows later
  // selections. Empty when no disk has been selected or a selection failed.
  const char* GetDiskName() const { return name; }
  // The current disk's media type byte (0 to 255), or -1 when none is known.
  int32_t GetMediaType() const { return mediaType; }

  // State, public for inspection; change it only through the operations
  // above. Sentinels instead of flags: diskSize 0 means no disk is current,
  // diskOffset kNoDiskOffset that a selection was cleared, mediaType -1 that no
  // media type is known, a null fp that no file is open.
  std::FILE* fp = nullptr;
  int32_t diskCount = 0;
  int32_t firstSector = 1;
  int32_t lastSector = 16;
  uint32_t diskOffsets[kMaxDisks] = {};
  uint32_t diskSize = 0;
  uint32_t diskOffset = 0;
  uint32_t trackOffsets[kMaxTracks] = {};
  int32_t mediaType = -1;
  char name[kDiskNameSize + 1] = {};
  // How many of trackOffsets are table entries. Many images, PC-98 ones
  // above all, are written with a table of 160 entries (a header of 0x2A0
  // bytes) or 154 (0x288): their first track's records begin where that
  // table ends, so what would be the last entries is sector data. The first
  // track's records cannot begin inside the table, so the table ends at the
  // first entry that lies at or past the smallest non-zero offset among the
  // entries before it. Entries past its end are read as absent tracks by
  // every operation; this goes beyond the letter of the format, which always
  // has 164, but a table whose tracks all begin after its 164th entry, as
  // every honest one does, keeps all 164. An entry is cut off only when it
  // begins at or past that offset: one whose bytes straddle it (records at
  // 0x42, say, inside entry 8 at 0x40) is still an entry, made partly of the
  // record's first bytes. Like the other disk members, 0 when no disk is
  // current.
  int32_t tableEntries = 0;
  bool writeProtected = false;  // false when no disk is current

 private:
  // File offset of the first record of `track`, or -1 when the track cannot
  // be read: no file, index out of range or past the table, entry 0 or
  // beyond the disk's size.
  int64_t TrackStart(int32_t track) const;

  // Copies up to `size` bytes at file offset `position` into `dest` and
  // returns how many arrived (fewer only where the file ends). Reads go
  // through `window`, a copy of the file around the last position read, so
  // that walking a track costs one read instead of a seek per record.
  int32_t Fetch(int64_t position, uint8_t* dest, int32_t size);
  // Every public operation starts afresh: the window and the search state
  // are trusted only within one call, so a file that changes between calls
  // is read as it is now.
  void ForgetReads();

  // A walk over the records of one track, from its first record on. Every
  // record repeats its track's count and the walk trusts each one afresh: it
  // ends after the record whose index equals its own count minus 1, at a
  // header cut short by the end of the file, and after kMaxRecordsPerTrack
  // records.
  struct TrackWalk {
    int64_t next = 0;    // file offset of the next record's header
    int32_t record = 0;  // that record's index in the track, from 0
    bool ended = true;   // a stop rule has been met
    WalkEnd end = WalkEnd::kNoTrack;  // which one
  };
  // A walk of `track`, ended at once when the track cannot be read.
  TrackWalk BeginWalk(int32_t track) const;
  // Reads the next record's header into `header` and steps past the record's
  // data (by its recorded size, not 128 << N). Returns the header's file
  // offset, or -1 when the walk has ended. A header whose count is 0 ends the
  // walk unread when `zeroCountEnds`; otherwise it is a record like another.
  int64_t NextRecord(TrackWalk& walk, bool zeroCountEnds, uint8_t (&header)[kSectorHeaderSize]);

  // The sector search. One walk of a track serves every sector sought in
  // it: the walk's stop rules do not depend on the ID sought, so the first
  // record of each R (with the sought C, H and N) is noted as the walk
  // passes it, and the walk goes on only when a sector not yet seen is
  // asked for. A run of k sectors thus reads each header once, not k times.
  void StartSearch(int32_t track, int32_t c, int32_t h, int32_t n);
  int32_t FindSector(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n, uint8_t* dest,
                     int32_t maxLength);

  static constexpr int32_t kWindowSize = 8192;
  uint8_t window[kWindowSize] = {};
  int64_t windowStart = 0;
  int32_t windowLength = 0;
  bool windowAtEnd = false;  // the window reaches the end of the file

  struct Search {
    // Whether the fields below describe a walk begun in this call. A flag of
    // its own, since every track value, -1 included, is a caller's argument.
    bool underWay = false;
    int32_t track = 0;
    int32_t c = 0, h = 0, n = 0;
    TrackWalk walk;
    int64_t dataAt[256] = {};     // by R: file offset of the data, or -1 when not yet seen
    uint16_t dataSize[256] = {};  // by R: the record's data size
  };
  Search search;
};

#endif  // D88_D88FILE_H_
