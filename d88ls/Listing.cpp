#include "d88ls/Listing.h"

#include <cstring>

#include "d88ls/DiskPicture.h"
#include "plan/AdpcmPlan.h"

namespace {

// Every walk ends after kMaxRecordsPerTrack records.
SectorRecord g_records[kMaxRecordsPerTrack];
// One track of the extraction plan.
uint8_t g_track[kPlanSlotSize];

// Names are raw bytes: printable ASCII and bytes above 0x7F (Shift_JIS text)
// pass through; control characters, quote and backslash are escaped so that
// every disk stays on one line.
void PrintName(std::FILE* out, const char* name) {
  std::fputc('"', out);
  for (const char* p = name; *p != '\0'; ++p) {
    const unsigned char b = static_cast<unsigned char>(*p);
    if (b == '"' || b == '\\') {
      std::fprintf(out, "\\%c", b);
    } else if (b < 0x20 || b == 0x7F) {
      std::fprintf(out, "\\x%02X", b);
    } else {
      std::fputc(b, out);
    }
  }
  std::fputc('"', out);
}

// The disk kinds the media type byte names.
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

// What the disk BIOS said of a sector when the image was made.
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

// True when the two records differ in nothing the listing marks.
bool SameMarks(const SectorRecord& a, const SectorRecord& b) {
  return a.density == b.density && a.deleted == b.deleted && a.status == b.status && a.dataSize == b.dataSize;
}

// What makes a record unusual, in brackets after its ID: single density,
// deleted data, a status other than normal, a data size other than the
// nominal 128 << N. Nothing for an ordinary record.
void PrintMarks(std::FILE* out, const SectorRecord& rec) {
  char marks[4][32];
  int count = 0;
  if (rec.density == 0x40) {
    std::snprintf(marks[count++], sizeof marks[0], "FM");
  } else if (rec.density != 0) {
    std::snprintf(marks[count++], sizeof marks[0], "density 0x%02X", rec.density);
  }
  if (rec.deleted == 0x10) {
    std::snprintf(marks[count++], sizeof marks[0], "deleted");
  } else if (rec.deleted != 0) {
    std::snprintf(marks[count++], sizeof marks[0], "deleted mark 0x%02X", rec.deleted);
  }
  if (rec.status != 0) {
    const char* name = StatusName(rec.status);
    if (name != nullptr) {
      std::snprintf(marks[count++], sizeof marks[0], "%s", name);
    } else {
      std::snprintf(marks[count++], sizeof marks[0], "status 0x%02X", rec.status);
    }
  }
  if (rec.n > 7 || rec.dataSize != (128u << rec.n)) {
    std::snprintf(marks[count++], sizeof marks[0], "%u bytes", static_cast<unsigned>(rec.dataSize));
  }
  for (int i = 0; i < count; ++i) std::fprintf(out, "%s%s", i == 0 ? " (" : ", ", marks[i]);
  if (count > 0) std::fputc(')', out);
}

// The records of a track, with runs where R counts up by one under the same
// C, H, N and marks written as one item: "C36 H0 R1-26 N1".
void PrintRecords(std::FILE* out, const SectorRecord* recs, int32_t count) {
  for (int32_t i = 0; i < count;) {
    const SectorRecord& first = recs[i];
    int32_t j = i + 1;
    while (j < count && recs[j].c == first.c && recs[j].h == first.h && recs[j].n == first.n &&
           recs[j].r == first.r + (j - i) && SameMarks(recs[j], first)) {
      ++j;
    }
    std::fprintf(out, "%sC%u H%u R%u", i == 0 ? "" : ", ", first.c, first.h, first.r);
    if (j - i > 1) std::fprintf(out, "-%u", recs[j - 1].r);
    std::fprintf(out, " N%u", first.n);
    PrintMarks(out, first);
    i = j;
  }
}

// One line for a track of the table: its records, or "unformatted" when it
// has none, and how the walk ended when that was not at the track's own last
// record.
void PrintTrack(std::FILE* out, int32_t track, const RecordListing& listing) {
  std::fprintf(out, "  track %d: ", track);
  const int32_t records = listing.records;
  if (listing.end == WalkEnd::kFileEnd) {
    // Whole records stop short of the file's end; the cut one is the last
    // listed when its data is short, otherwise the one whose header is cut.
    const bool dataCut = records > 0 && g_records[records - 1].dataPresent < g_records[records - 1].dataSize;
    if (records > 0) {
      std::fprintf(out, "%d record%s: ", records, records == 1 ? "" : "s");
      PrintRecords(out, g_records, records);
      std::fputs("; ", out);
    }
    std::fprintf(out, "file ends inside record %d\n", dataCut ? records : records + 1);
    return;
  }
  if (records == 0) {
    std::fputs("unformatted\n", out);
    return;
  }
  std::fprintf(out, "%d record%s: ", records, records == 1 ? "" : "s");
  PrintRecords(out, g_records, records);
  switch (listing.end) {
    case WalkEnd::kCountZero: std::fputs("; then a header saying 0 records", out); break;
    case WalkEnd::kTrackEnd: std::fputs("; counts run on into the next track", out); break;
    case WalkEnd::kDiskEnd: std::fputs("; counts run on past the disk's end", out); break;
    case WalkEnd::kWalkBound: std::fprintf(out, "; stopped after %d records", kMaxRecordsPerTrack); break;
    default: break;
  }
  std::fputc('\n', out);
}

}  // namespace

void ListImage(D88File& d88, std::FILE* out) {
  const int32_t disks = d88.GetDiskCount();
  std::fprintf(out, "%d disk%s\n", disks, disks == 1 ? "" : "s");
  for (int32_t disk = 0; disk < disks; ++disk) {
    d88.SelectDisk(disk);
    std::fprintf(out, "disk %d: ", disk);
    PrintName(out, d88.GetDiskName());
    const char* media = MediaName(d88.GetMediaType());
    std::fprintf(out, ", media type 0x%02X", static_cast<unsigned>(d88.GetMediaType()));
    if (media != nullptr) std::fprintf(out, " (%s)", media);
    std::fputs(d88.IsWriteProtected() ? ", write-protected\n" : "\n", out);
    if (d88.GetTableEntries() < kMaxTracks) std::fprintf(out, "  track table: %d entries\n", d88.GetTableEntries());
    for (int32_t t = 0; t < d88.GetTableEntries(); ++t) {
      const RecordListing listing = d88.ReadRecords(t, g_records, kMaxRecordsPerTrack);
      if (listing.end == WalkEnd::kNoTrack) continue;
      PrintTrack(out, t, listing);
    }
  }

  // What d88adpcm would make of each disk were it the first: the same reads.
  d88.SetSectorRange(1, kPlanSectors);
  for (int32_t disk = 0; disk < disks; ++disk) {
    d88.SelectDisk(disk);
    std::fprintf(out, "disk %d: d88adpcm tracks %d-%d: ", disk, PlannedTrack(0), PlannedTrack(kPlanTracks - 1));
    int32_t holes = 0;
    for (int32_t i = 0; i < kPlanTracks; ++i) {
      const int32_t sectors = ReadPlannedTrack(d88, i, g_track) / (kPlanSlotSize / kPlanSectors);
      if (sectors == kPlanSectors) continue;
      std::fprintf(out, "%s%d (%d of %d)", holes == 0 ? "incomplete: " : ", ", PlannedTrack(i), sectors, kPlanSectors);
      ++holes;
    }
    std::fputs(holes == 0 ? "complete\n" : "\n", out);
  }
}

int RunList(int argc, char** argv) {
  // d88ls [--svg FILE] IMAGE
  const bool svg = argc == 4 && std::strcmp(argv[1], "--svg") == 0;
  if (argc != 2 && !svg) {
    std::fprintf(stderr, "Usage: %s IMAGE\n", argc > 0 && argv[0] != nullptr ? argv[0] : "d88ls");
    return 1;
  }
  const char* image = argv[argc - 1];
  static D88File d88;
  if (!d88.Open(image)) {
    std::fprintf(stderr, "cannot open %s\n", image);
    return 1;
  }
  ListImage(d88, stdout);
  return svg ? WriteDiskPicture(d88, image, argv[2]) : 0;
}
