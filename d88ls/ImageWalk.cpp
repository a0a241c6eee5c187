#include "d88ls/ImageWalk.h"

#include <cinttypes>
#include <cstdio>

#include "common/ShiftJis.h"

namespace {

// The walk's room: every walk ends after kMaxRecordsPerTrack records, and
// every record is at most a run of its own.
SectorRecord g_records[kMaxRecordsPerTrack];
RecordRun g_runs[kMaxRecordsPerTrack];
// One track of the extraction plan, as d88adpcm reads it.
uint8_t g_slot[kPlanSlotSize];

// `format` with one number in it; the texts are short.
std::string Format(const char* format, unsigned value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// "C36 H0 R1", the start of every ID as the listing writes it.
std::string CylinderHeadSector(const SectorRecord& rec) {
  return "C" + std::to_string(rec.c) + " H" + std::to_string(rec.h) + " R" + std::to_string(rec.r);
}

// True when the two records differ in nothing the listing marks.
bool SameMarks(const SectorRecord& a, const SectorRecord& b) {
  return a.density == b.density && a.deleted == b.deleted && a.status == b.status && a.dataSize == b.dataSize;
}

// The runs of a track's records: R counting up by one under the same C, H,
// N and marks.
int32_t JoinRuns(const SectorRecord* recs, int32_t count, RecordRun* runs) {
  int32_t made = 0;
  for (int32_t i = 0; i < count;) {
    const SectorRecord& first = recs[i];
    int32_t j = i + 1;
    while (j < count && recs[j].c == first.c && recs[j].h == first.h && recs[j].n == first.n &&
           recs[j].r == first.r + (j - i) && SameMarks(recs[j], first)) {
      ++j;
    }
    runs[made++] = {i, j - i};
    i = j;
  }
  return made;
}

// How the walk of a track ended, the end of the file told apart by where
// it falls: a track that begins at or past it holds nothing at all, and a
// track it cuts is cut after a whole record, inside a record's header, or
// inside a record's data.
TrackEnding EndingOf(const RecordListing& listing, int64_t start, uint64_t fileSize) {
  switch (listing.end) {
    case WalkEnd::kLastRecord: return TrackEnding::kLastRecord;
    case WalkEnd::kCountZero: return TrackEnding::kCountZero;
    case WalkEnd::kTrackEnd: return TrackEnding::kNextTrack;
    case WalkEnd::kDiskEnd: return TrackEnding::kDiskEnd;
    case WalkEnd::kWalkBound: return TrackEnding::kWalkBound;
    case WalkEnd::kFull: return TrackEnding::kFull;
    case WalkEnd::kNoTrack:
    case WalkEnd::kFileEnd: break;
  }
  const int32_t n = listing.records;
  if (n == 0) {
    // No header arrived in full: none at all, or a part of the first.
    return static_cast<uint64_t>(start) >= fileSize ? TrackEnding::kPastFileEnd : TrackEnding::kFileEndsInHeader;
  }
  const SectorRecord& last = g_records[n - 1];
  if (last.dataPresent < last.dataSize) return TrackEnding::kFileEndsInData;
  // The last record is whole: the next header is missing or cut.
  const uint64_t next = static_cast<uint64_t>(last.offset) + kSectorHeaderSize + last.dataSize;
  return next >= fileSize ? TrackEnding::kFileEndsAfterRecord : TrackEnding::kFileEndsInHeader;
}

// Planned tracks `i` to `j` (slots) as the summary names them: "80" or "82-148".
std::string SlotRun(int32_t i, int32_t j) {
  return std::to_string(PlannedTrack(i)) + (j > i ? "-" + std::to_string(PlannedTrack(j)) : "");
}

// What d88adpcm gets from the current disk, by the very reads it makes,
// and why a planned track's first missed sector is missed where it is
// there in another size.
PlanFacts ReadPlan(D88File& d88, uint64_t fileSize) {
  PlanFacts plan;
  plan.complete = true;
  for (int32_t i = 0; i < kPlanTracks; ++i) {
    plan.sectors[i] = ReadPlannedTrack(d88, i, g_slot) / kPlanSectorSize;
    if (plan.sectors[i] == kPlanSectors) continue;
    plan.complete = false;
    const TrackFacts track = WalkTrack(d88, PlannedTrack(i), fileSize);
    const int32_t missed = plan.sectors[i] + 1;
    bool planSize = false, otherSize = false;
    for (int32_t k = 0; k < track.count; ++k) {
      const SectorRecord& rec = track.records[k];
      if (!OwnId(track.track, rec) || rec.r != missed) continue;
      (rec.n == kPlanSizeCode ? planSize : otherSize) = true;
    }
    plan.otherSize[i] = otherSize && !planSize;
  }
  return plan;
}

// The reasons the current disk, the first, does not look like a D88 disk,
// and whether its size alone is the reason because the file is cut short.
std::vector<std::string> Doubts(const D88File& d88, uint64_t fileSize, bool* onlyCut) {
  std::vector<std::string> reasons;
  // A disk is at least its header, and no more than the file holds from its start.
  const uint64_t held = fileSize - d88.diskOffsets[0];
  const bool small = d88.diskSize < static_cast<uint32_t>(kDiskHeaderSize);
  if (small || d88.diskSize > held) {
    char reason[128];
    std::snprintf(reason, sizeof reason, "its size field says %" PRIu32 " bytes, the file holds %" PRIu64 " from it",
                  d88.diskSize, held);
    reasons.push_back(reason);
  }
  // A track's records begin after the table and before the disk's end.
  const uint32_t tableEnd = static_cast<uint32_t>(kTrackTableOffset + 4 * d88.GetTableEntries());
  bool inside = false;
  for (int32_t t = 0; t < d88.GetTableEntries(); ++t) {
    if (d88.trackOffsets[t] >= tableEnd && d88.trackOffsets[t] < d88.diskSize) inside = true;
  }
  if (!inside) reasons.push_back("no track entry points inside it");
  if (MediaName(d88.GetMediaType()) == nullptr) {
    reasons.push_back(Format("media type 0x%02X is none of the five known", static_cast<unsigned>(d88.GetMediaType())));
  }
  *onlyCut = reasons.size() == 1 && !small && d88.diskSize > held;
  return reasons;
}

}  // namespace

DiskFacts DescribeDisk(D88File& d88, int32_t index, uint64_t fileSize) {
  d88.SelectDisk(index);
  DiskFacts disk;
  disk.index = index;
  disk.offset = d88.diskOffsets[index];
  disk.name = d88.GetDiskName();
  disk.mediaType = d88.GetMediaType();
  disk.writeProtected = d88.IsWriteProtected();
  disk.size = d88.diskSize;
  disk.tableEntries = d88.GetTableEntries();
  disk.read = index == 0;
  disk.plan = ReadPlan(d88, fileSize);
  return disk;
}

// ---------------------------------------------------------------- records

const char* MediaName(int32_t type) {
  switch (type) {
    case 0x00: return "2D";
    case 0x10: return "2DD";
    case 0x20: return "2HD";
    case 0x30: return "1D";
    case 0x40: return "1DD";
    default: return nullptr;
  }
}

const char* StatusName(uint8_t status) {
  switch (status) {
    case 0x10: return "deleted data mark";
    case 0xA0: return "ID CRC error";
    case 0xB0: return "data CRC error";
    case 0xC0: return "sector not found";
    case 0xE0: return "no address mark";
    case 0xF0: return "no data mark";
    default: return nullptr;
  }
}

int64_t NominalSize(uint8_t n) { return n > 7 ? -1 : int64_t{128} << n; }

std::vector<std::string> RecordMarks(const SectorRecord& rec) {
  std::vector<std::string> marks;
  if (rec.density == 0x40) {
    marks.push_back("FM");
  } else if (rec.density != 0) {
    marks.push_back(Format("density 0x%02X", rec.density));
  }
  if (rec.deleted == 0x10) {
    marks.push_back("deleted");
  } else if (rec.deleted != 0) {
    marks.push_back(Format("deleted mark 0x%02X", rec.deleted));
  }
  if (rec.status != 0) {
    const char* name = StatusName(rec.status);
    marks.push_back(name != nullptr ? name : Format("status 0x%02X", rec.status));
  }
  if (NominalSize(rec.n) != rec.dataSize) marks.push_back(std::to_string(rec.dataSize) + " bytes");
  return marks;
}

std::vector<std::string> RecordNotes(const SectorRecord& rec) {
  std::vector<std::string> notes = RecordMarks(rec);
  if (rec.dataPresent < rec.dataSize) notes.push_back("file ends after " + std::to_string(rec.dataPresent) + " of them");
  return notes;
}

std::string Bracketed(const std::vector<std::string>& marks) {
  std::string text;
  for (size_t i = 0; i < marks.size(); ++i) text += (i == 0 ? " (" : ", ") + marks[i];
  return marks.empty() ? text : text + ")";
}

std::string RecordText(const SectorRecord& rec) {
  return CylinderHeadSector(rec) + " N" + std::to_string(rec.n) + Bracketed(RecordNotes(rec));
}

bool OwnId(int32_t track, const SectorRecord& rec) { return rec.c == (track >> 1) && rec.h == (track & 1); }

RecordKind KindOf(int32_t track, const SectorRecord& rec) {
  if (rec.status != 0 && rec.status != 0x10) return RecordKind::kError;
  const int64_t nominal = NominalSize(rec.n);
  if (rec.dataPresent < rec.dataSize || (nominal >= 0 && rec.dataSize < nominal)) return RecordKind::kShort;
  if (!OwnId(track, rec)) return RecordKind::kOther;
  if (rec.deleted == 0x10 || rec.status == 0x10) return RecordKind::kDeleted;
  if (rec.density == 0x40) return RecordKind::kFm;
  return RecordKind::kPresent;
}

// ---------------------------------------------------------------- tracks

const char* EndingName(TrackEnding ending) {
  switch (ending) {
    case TrackEnding::kLastRecord: return "last_record";
    case TrackEnding::kCountZero: return "count_zero";
    case TrackEnding::kNextTrack: return "next_track";
    case TrackEnding::kDiskEnd: return "disk_end";
    case TrackEnding::kWalkBound: return "walk_bound";
    case TrackEnding::kFull: return "full";
    case TrackEnding::kPastFileEnd: return "past_file_end";
    case TrackEnding::kFileEndsAfterRecord: return "file_ends_after_record";
    case TrackEnding::kFileEndsInHeader: return "file_ends_in_header";
    case TrackEnding::kFileEndsInData: return "file_ends_in_data";
  }
  return "";
}

std::string RunText(const TrackFacts& track, const RecordRun& run) {
  const SectorRecord& first = track.records[run.first];
  std::string text = CylinderHeadSector(first);
  if (run.count > 1) text += "-" + std::to_string(track.records[run.first + run.count - 1].r);
  return text + " N" + std::to_string(first.n) + Bracketed(RecordMarks(first));
}

std::string EndingWords(const TrackFacts& track) {
  const int32_t n = track.count;
  switch (track.ending) {
    case TrackEnding::kLastRecord: return "";
    case TrackEnding::kCountZero: return n == 0 ? "unformatted" : "then a header saying 0 records";
    case TrackEnding::kNextTrack: return "counts run on into the next track";
    case TrackEnding::kDiskEnd:
      if (n == 0) return "no records: it begins where the disk ends";
      return "the disk ends after record " + std::to_string(n) + ", though its count says " +
             std::to_string(track.records[n - 1].count);
    case TrackEnding::kWalkBound: return "stopped after " + std::to_string(kMaxRecordsPerTrack) + " records";
    case TrackEnding::kFull: return "more records may follow";
    case TrackEnding::kPastFileEnd: return "past the end of the file";
    case TrackEnding::kFileEndsAfterRecord: return "file ends after record " + std::to_string(n);
    case TrackEnding::kFileEndsInHeader: return "file ends inside the header of record " + std::to_string(n + 1);
    case TrackEnding::kFileEndsInData: return "file ends inside the data of record " + std::to_string(n);
  }
  return "";
}

TrackFacts WalkTrack(D88File& d88, int32_t track, uint64_t fileSize) {
  TrackFacts facts;
  facts.track = track;
  facts.records = g_records;
  facts.runs = g_runs;
  const RecordListing listing = d88.ReadRecords(track, g_records, kMaxRecordsPerTrack);
  if (listing.end == WalkEnd::kNoTrack) return facts;
  facts.present = true;
  facts.entry = d88.trackOffsets[track];
  facts.start = static_cast<uint32_t>(d88.diskOffset + facts.entry);
  facts.count = listing.records;
  facts.ending = EndingOf(listing, facts.start, fileSize);
  facts.runCount = JoinRuns(g_records, facts.count, g_runs);
  return facts;
}

// ---------------------------------------------------------------- disks

int32_t PlanSlot(int32_t track) {
  const int32_t i = (track - PlannedTrack(0)) / 2;
  return track >= PlannedTrack(0) && i < kPlanTracks && PlannedTrack(i) == track ? i : -1;
}

std::string QuotedName(const std::string& bytes, NameForm form) {
  const uint8_t* raw = reinterpret_cast<const uint8_t*>(bytes.data());
  std::string out = "\"";
  for (size_t at = 0; at < bytes.size();) {
    const size_t from = at;
    const int32_t code = NextShiftJisCharacter(raw, bytes.size(), &at);
    if (code == '"' || code == '\\') {
      out += '\\';
      out += static_cast<char>(code);
    } else if (code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0)) {
      // A control character, or no character at all: its first byte.
      out += Format("\\x%02X", raw[from]);
      at = from + 1;
    } else if (form == NameForm::kShiftJis) {
      out.append(bytes, from, at - from);
    } else {
      char utf8[2 * kUtf8PerShiftJisByte];
      const int64_t length = DecodeShiftJis(raw + from, at - from, utf8, sizeof utf8);
      out.append(utf8, static_cast<size_t>(length));
    }
  }
  return out + "\"";
}

std::string DiskHeading(const DiskFacts& disk, NameForm form) {
  std::string heading = "disk " + std::to_string(disk.index) + ": " + QuotedName(disk.name, form) +
                        Format(", media type 0x%02X", static_cast<unsigned>(disk.mediaType));
  const char* media = MediaName(disk.mediaType);
  if (media != nullptr) heading += std::string(" (") + media + ")";
  return disk.writeProtected ? heading + ", write-protected" : heading;
}

std::string TableNote(const DiskFacts& disk) {
  return disk.tableEntries < kMaxTracks ? "track table: " + std::to_string(disk.tableEntries) + " entries" : "";
}

std::string PlanSummary(const DiskFacts& disk) {
  const PlanFacts& plan = disk.plan;
  const std::string tracks = SlotRun(0, kPlanTracks - 1);
  std::string text = "disk " + std::to_string(disk.index) + ": ";
  text += disk.read ? "d88adpcm tracks " + tracks + ": "
                    : "d88adpcm reads disk 0 only; were this disk first, tracks " + tracks + " would be ";
  if (plan.complete) return text + "complete";
  text += "incomplete: ";
  // Neighbouring planned tracks that yield as many sectors, as one run.
  const char* comma = "";
  for (int32_t i = 0; i < kPlanTracks;) {
    int32_t j = i + 1;
    while (j < kPlanTracks && plan.sectors[j] == plan.sectors[i]) ++j;
    if (plan.sectors[i] != kPlanSectors) {
      text += comma + SlotRun(i, j - 1) + " (" + std::to_string(plan.sectors[i]) + " of " + std::to_string(kPlanSectors) + ")";
      comma = ", ";
    }
    i = j;
  }
  // Said once: the sectors are there, but not of the size d88adpcm reads.
  std::string other;
  for (int32_t i = 0; i < kPlanTracks;) {
    int32_t j = i + 1;
    while (j < kPlanTracks && plan.otherSize[j] == plan.otherSize[i]) ++j;
    if (plan.otherSize[i]) other += (other.empty() ? "" : ", ") + SlotRun(i, j - 1);
    i = j;
  }
  if (!other.empty()) {
    text += "; d88adpcm reads sectors of " + std::to_string(kPlanSectorSize) + " bytes (N" + std::to_string(kPlanSizeCode) +
            "), tracks " + other + " hold other sizes";
  }
  return text;
}

// ---------------------------------------------------------------- the image

ImageFacts DescribeImage(D88File& d88) {
  ImageFacts image;
  const int64_t size = d88.GetFileSize();
  image.fileSize = size > 0 ? static_cast<uint64_t>(size) : 0;
  image.disks = d88.GetDiskCount();
  if (image.disks == 0 || !d88.SelectDisk(0)) {
    image.warnings.push_back("no disk found");
    return image;
  }
  bool onlyCut = false;
  const std::vector<std::string> doubts = Doubts(d88, image.fileSize, &onlyCut);
  // A disk 0 that would be whole but for the file's end is no doubt: the
  // file is cut short, said below.
  if (!doubts.empty() && !onlyCut) {
    std::string text = "warning: disk 0 does not look like a D88 disk: ";
    for (size_t i = 0; i < doubts.size(); ++i) text += (i == 0 ? "" : "; ") + doubts[i];
    image.warnings.push_back(text);
  }
  // Only the last disk can be cut: a disk that runs past the file's end
  // leaves no room for another header after it.
  const int32_t last = image.disks - 1;
  if (d88.SelectDisk(last) && (last > 0 || onlyCut)) {
    const uint64_t held = image.fileSize - d88.diskOffsets[last];
    if (d88.diskSize >= static_cast<uint32_t>(kDiskHeaderSize) && d88.diskSize > held) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "warning: the file is cut short: disk %d's size field says %" PRIu32 " bytes, the file holds %" PRIu64
                    " from it",
                    last, d88.diskSize, held);
      image.warnings.push_back(text);
    }
  }
  // The reader takes kMaxDisks disks; where it would find a whole header
  // after the last of them, the file goes on. (A size of 0 finds the same
  // header again: that file does not go on.)
  if (image.disks == kMaxDisks && d88.SelectDisk(last) && d88.diskSize > 0) {
    const uint64_t next = static_cast<uint32_t>(d88.diskOffsets[last] + d88.diskSize);
    if (next + kDiskHeaderSize <= image.fileSize) {
      image.warnings.push_back("warning: the file goes on past disk " + std::to_string(last) + ", the last of the " +
                               std::to_string(kMaxDisks) + " disks d88ls reads");
    }
  }
  return image;
}
