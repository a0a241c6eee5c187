// d88ls: one walk of an image, and every rule of what d88ls says about it.
//
// The walk reads the image once and hands what it finds to renderers (the
// text listing, the JSON document, the picture), which only draw it: each
// disk's facts before its tracks, then each track's facts, one track at a
// time, so that a crafted image of 65,535-record tracks costs one track's
// memory. Every rule the three share lives here, once: the joining of
// records into runs, their marks, the words for why a walk ended, the disk's
// heading and name, the plan's summary, the doubts about the image.
#ifndef D88LS_IMAGEWALK_H_
#define D88LS_IMAGEWALK_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "d88/D88File.h"
#include "plan/AdpcmPlan.h"

// ---------------------------------------------------------------- records

// The disk kind the media type byte names ("2D", "2DD", "2HD", "1D",
// "1DD"), or null for any other value.
const char* MediaName(int32_t type);

// What the disk BIOS's status byte of a record says ("data CRC error",
// ...), or null for a value with no name (0 is a normal record).
const char* StatusName(uint8_t status);

// The data size a size code names, 128 << N, for N up to 7; -1 past it,
// where N names no size a sector has (and 128 << N would leave an int).
int64_t NominalSize(uint8_t n);

// What makes a record unusual, in the listing's words: "FM" (single
// density), "density 0xNN" for another density byte, "deleted", "deleted
// mark 0xNN" for another deleted byte, the disk BIOS's status ("data CRC
// error", or "status 0xNN"), and the data size when it is not NominalSize.
// Empty for an ordinary record.
std::vector<std::string> RecordMarks(const SectorRecord& rec);

// RecordMarks, and where the file ends inside the record's data ("file
// ends after 100 of them"): all that can be said of one record alone.
std::vector<std::string> RecordNotes(const SectorRecord& rec);

// `marks` as they follow an ID: " (FM, 128 bytes)", or "" for none.
std::string Bracketed(const std::vector<std::string>& marks);

// One record alone: its ID and RecordNotes, "C45 H0 R21 N1 (128 bytes)".
std::string RecordText(const SectorRecord& rec);

// The ID a record of `track` carries when it belongs there: C = track / 2
// and H = track % 2, whatever its size code.
bool OwnId(int32_t track, const SectorRecord& rec);

// What a record is, most telling first: the first that applies.
enum class RecordKind {
  kError,    // a status that names an error (any but 0 and 0x10)
  kShort,    // data shorter than NominalSize, or cut by the end of the file
  kOther,    // another track's ID
  kDeleted,  // deleted data: the deleted byte 0x10, or the status 0x10 that says so
  kFm,       // single density
  kPresent,  // anything else: an ordinary sector, or one whose marks name nothing above
};
RecordKind KindOf(int32_t track, const SectorRecord& rec);

// ---------------------------------------------------------------- tracks

// How the walk of a track ended: the reader's reasons, with the end of the
// file told apart by where it falls.
enum class TrackEnding {
  kLastRecord,
  kCountZero,
  kNextTrack,
  kDiskEnd,
  kWalkBound,
  kFull,  // not met: the walk's room holds a whole walk
  kPastFileEnd,
  kFileEndsAfterRecord,
  kFileEndsInHeader,
  kFileEndsInData,
};

// The name the JSON document gives an ending ("last_record", ...).
const char* EndingName(TrackEnding ending);

// Records [first, first + count) of a track, listed as one item: R counts
// up by one under the same C, H, N and marks.
struct RecordRun {
  int32_t first = 0;
  int32_t count = 0;
};

// One track of a disk as the walk found it. The pointers are the walk's own
// room, good until the next track is walked.
struct TrackFacts {
  int32_t track = 0;
  bool present = false;  // false: absent (entry 0, beyond the disk's size, or past the table)
  uint32_t entry = 0;    // the table entry, from the disk's start
  int64_t start = 0;     // file offset of its first record: the disk's offset plus the entry, modulo 2^32
  const SectorRecord* records = nullptr;
  int32_t count = 0;
  TrackEnding ending = TrackEnding::kLastRecord;
  const RecordRun* runs = nullptr;
  int32_t runCount = 0;
};

// A run's item as the listing writes it: "C36 H0 R1-26 N1 (FM)".
std::string RunText(const TrackFacts& track, const RecordRun& run);

// Why the track's walk ended, in the listing's words, or "" when it ended
// at the track's own last record: "unformatted", "file ends after record
// 5", "past the end of the file", ...
std::string EndingWords(const TrackFacts& track);

// ---------------------------------------------------------------- disks

// What d88adpcm makes of a disk, were it the first: the whole sectors of
// each planned track, by the very reads d88adpcm makes.
struct PlanFacts {
  int32_t sectors[kPlanTracks] = {};
  // The first sector d88adpcm misses on the track is there, with the
  // track's own C and H, in a size other than the plan's (a disk of 512-
  // or 1024-byte sectors, say).
  bool otherSize[kPlanTracks] = {};
  bool complete = false;
};

// Slot of `track` in the plan, or -1 when d88adpcm reads no such track.
int32_t PlanSlot(int32_t track);

struct DiskFacts {
  int32_t index = 0;
  uint32_t offset = 0;    // file offset of its header
  std::string name;       // the name's raw bytes, up to the first zero byte
  int32_t mediaType = 0;  // the media byte, 0 to 255
  bool writeProtected = false;
  uint32_t size = 0;      // the header's size field
  int32_t tableEntries = 0;
  bool read = false;      // d88adpcm reads it: disk 0
  PlanFacts plan;
};

// How a name is written: its characters as raw Shift_JIS bytes (the text
// listing) or as UTF-8 (the picture).
enum class NameForm { kShiftJis, kUtf8 };

// A disk's name in double quotes, by one rule: the bytes are taken a
// Shift_JIS character at a time, so that a double-byte character is never
// split (0x5C as its second byte is no backslash); a quote and a backslash
// of their own are escaped with a backslash, and a control character and
// any byte that is no character are written \xNN, so that no byte can hide
// the closing quote or the end of the line.
std::string QuotedName(const std::string& bytes, NameForm form);

// "disk 0: "NAME", media type 0x20 (2HD), write-protected".
std::string DiskHeading(const DiskFacts& disk, NameForm form);

// "track table: 160 entries" for a table shorter than 164; "" otherwise.
std::string TableNote(const DiskFacts& disk);

// The disk's line about the plan: "disk 0: d88adpcm tracks 72-148:
// complete", the planned tracks that would not be whole in runs of
// neighbours that yield as many sectors, and the disks d88adpcm does not
// read saying so and what it would get were they first.
std::string PlanSummary(const DiskFacts& disk);

// ---------------------------------------------------------------- the image

struct ImageFacts {
  uint64_t fileSize = 0;
  int32_t disks = 0;
  // What d88ls says about the image as a whole, each after "d88ls: PATH: ":
  // that it holds no disk, that disk 0 does not look like a D88 disk, that
  // the file is cut short, that it goes on past the last disk read.
  std::vector<std::string> warnings;
};

// The image's facts, its warnings found. Changes the current disk.
ImageFacts DescribeImage(D88File& d88);

// Disk `index` of the image, selected, with the plan's slots counted.
DiskFacts DescribeDisk(D88File& d88, int32_t index, uint64_t fileSize);

// One track of the current disk, walked into the walk's own room; good
// until the next track is walked.
TrackFacts WalkTrack(D88File& d88, int32_t track, uint64_t fileSize);

// One step of the walk. WalkImage hands them out in this order: the image;
// per disk, the disk, its tracks 0 to 163 (absent ones too), and the
// disk's end; last, the image's end.
struct WalkStep {
  enum class Kind { kImage, kDisk, kTrack, kDiskEnd, kImageEnd };
  Kind kind = Kind::kImage;
  const ImageFacts* image = nullptr;  // always
  const DiskFacts* disk = nullptr;    // from kDisk to kDiskEnd
  const TrackFacts* track = nullptr;  // kTrack only
};

// Walks every disk of the open image `d88`, whose facts are `image`, once,
// handing each step to every renderer in turn: a renderer is any class
// with a call Take(const WalkStep&). Changes the current disk and the
// sector range.
template <typename... Renderers>
void WalkImage(D88File& d88, const ImageFacts& image, Renderers&&... renderers) {
  WalkStep step;
  step.image = &image;
  (renderers.Take(step), ...);
  d88.SetSectorRange(1, kPlanSectors);
  for (int32_t index = 0; index < image.disks; ++index) {
    const DiskFacts disk = DescribeDisk(d88, index, image.fileSize);
    step.kind = WalkStep::Kind::kDisk;
    step.disk = &disk;
    (renderers.Take(step), ...);
    for (int32_t t = 0; t < kMaxTracks; ++t) {
      const TrackFacts track = WalkTrack(d88, t, image.fileSize);
      step.kind = WalkStep::Kind::kTrack;
      step.track = &track;
      (renderers.Take(step), ...);
    }
    step.kind = WalkStep::Kind::kDiskEnd;
    step.track = nullptr;
    (renderers.Take(step), ...);
  }
  step.kind = WalkStep::Kind::kImageEnd;
  step.disk = nullptr;
  (renderers.Take(step), ...);
}

#endif  // D88LS_IMAGEWALK_H_
