#include "d88ls/Listing.h"

#include "plan/AdpcmPlan.h"

namespace {

// Every walk ends after kMaxRecordsPerTrack records, 4 ID bytes each.
uint8_t g_ids[kMaxRecordsPerTrack * 4];
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

// The IDs of a track, with runs where R counts up by one under the same C,
// H and N written as one item: "C36 H0 R1-26 N1".
void PrintIds(std::FILE* out, const uint8_t* ids, int32_t count) {
  for (int32_t i = 0; i < count;) {
    const uint8_t* id = ids + 4 * i;
    int32_t j = i + 1;
    while (j < count && ids[4 * j] == id[0] && ids[4 * j + 1] == id[1] && ids[4 * j + 3] == id[3] &&
           ids[4 * j + 2] == id[2] + (j - i)) {
      ++j;
    }
    std::fprintf(out, "%sC%u H%u R%u", i == 0 ? "" : ", ", id[0], id[1], id[2]);
    if (j - i > 1) std::fprintf(out, "-%u", ids[4 * (j - 1) + 2]);
    std::fprintf(out, " N%u", id[3]);
    i = j;
  }
}

}  // namespace

void ListImage(D88File& d88, std::FILE* out) {
  const int32_t disks = d88.GetDiskCount();
  std::fprintf(out, "%d disk%s\n", disks, disks == 1 ? "" : "s");
  for (int32_t disk = 0; disk < disks; ++disk) {
    d88.SelectDisk(disk);
    std::fprintf(out, "disk %d: ", disk);
    PrintName(out, d88.GetDiskName());
    std::fprintf(out, ", media type 0x%02X\n", static_cast<unsigned>(d88.GetMediaType()));
    for (int32_t t = 0; t < kMaxTracks; ++t) {
      const int32_t records = d88.ReadIds(t, g_ids, sizeof g_ids) / 4;
      if (records == 0) continue;
      std::fprintf(out, "  track %d: %d record%s: ", t, records, records == 1 ? "" : "s");
      PrintIds(out, g_ids, records);
      std::fputc('\n', out);
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
  if (argc != 2) {
    std::fprintf(stderr, "Usage: %s IMAGE\n", argc > 0 && argv[0] != nullptr ? argv[0] : "d88ls");
    return 1;
  }
  static D88File d88;
  if (!d88.Open(argv[1])) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  ListImage(d88, stdout);
  return 0;
}
